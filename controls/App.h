#pragma once

#include <QString>

// What the toolkit tells about the running program.
namespace App {

// The full path of the folder that holds the program's executable file.
QString Path();

// Tests stand the program in another folder; an empty path restores the real one.
void setPathForTesting(const QString &path);

} // namespace App
