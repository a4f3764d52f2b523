#pragma once

#include <QString>

// The command lines of the three link buttons: the file explorer, one space, the page's address.
namespace WebLinks {
inline const QString Blog = QStringLiteral("explorer.exe http://blog.example.org/");
inline const QString Forum = QStringLiteral("explorer.exe http://forum.example.org/");
inline const QString Shop = QStringLiteral("explorer.exe http://shop.example.org/");
} // namespace WebLinks
