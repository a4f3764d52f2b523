#pragma once

#include <QAccessible>

// Gives every widget of the class `className` (its own class, as moc names it) the accessible role `role`.
// Qt describes a widget of a class it does not know as a plain client area, which a screen reader announces as
// a filler: it could neither find the status bar nor tell the window for a top-level frame.
void setAccessibleRoleOfClass(const char *className, QAccessible::Role role);
