#pragma once

#include "skin/Skin.h"

#include <QPalette>
#include <QString>

// Turn a parsed skin into what Qt understands. Pure, so it can be checked without a window.
QPalette skinPalette(const Skin &skin);
QString skinStyleSheet(const Skin &skin);
