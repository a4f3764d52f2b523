#pragma once

#include <QString>

// The skin library's entry points, declared by name and library and bound at their first call: the library
// "SkinH_VB6" from the program's folder first, then wherever the system looks for libraries.
// A library or entry point that cannot be found raises a run-time error (48, 453).
namespace SkinH {

inline constexpr const char *LibraryName = "SkinH_VB6";

// Gives the application's windows the look of a skin file. Returns 0 when the skin was applied.
qint32 SkinH_AttachEx(const QString &skinFile, const QString &key);

} // namespace SkinH

using SkinH::SkinH_AttachEx;
