#pragma once

#include <QColor>

#include <span>

// Every colour a skin defines. All are required, so a skin never mixes with whatever the platform happens to use.
struct Skin
{
    QColor windowBackground;
    QColor windowText;
    QColor disabledText;
    QColor inputBackground;
    QColor inputText;
    QColor highlight;
    QColor highlightText;
    QColor buttonBackground;
    QColor buttonText;
    QColor buttonBorder;
    QColor buttonHover;
    QColor buttonPressed;
    QColor buttonDisabledBackground;
    QColor buttonDisabledText;
    QColor frameBackground;
    QColor frameBorder;
    QColor frameTitle;
    QColor frameText;
    QColor statusBackground;
    QColor statusText;
    QColor statusBorder;
};

// The name a colour has in a skin file, and where it lands in Skin.
struct SkinKey
{
    const char *name;
    QColor Skin::*colour;
};

std::span<const SkinKey> skinKeys();
