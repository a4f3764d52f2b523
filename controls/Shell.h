#pragma once

#include <QString>

#include <functional>

// The toolkit's process launcher. Window states for the started program's main window:
namespace AppWinStyle {
inline constexpr int vbHide = 0;
inline constexpr int vbNormalFocus = 1;
inline constexpr int vbMinimizedFocus = 2;
} // namespace AppWinStyle

// Starts `commandLine` (a program name, then one space, then its argument) as a process of its own, with no
// shell in between, and returns its process id at once, without waiting. The program "explorer.exe" is
// the platform's opener of files and addresses. A program that cannot be started raises error 53.
qint64 Shell(const QString &commandLine, int windowStyle);

// While set, `watcher` sees each command line and window style as Shell receives them, before the start.
using ShellWatcher = std::function<void(const QString &commandLine, int windowStyle)>;
void setShellWatcher(ShellWatcher watcher);
