#pragma once

#include "skin/SkinError.h"

#include <QByteArray>
#include <QString>

// Reads at most MaxSkinFileSize bytes of a regular file; never blocks on pipes or devices.
SkinError readSkinFile(const QString &path, QByteArray &bytes);
