#pragma once

// The skin library's only entry point. The program binds it at run time by name from libSkinH_VB6.so in its own
// folder, and calls it once, after its main window exists and before showing it.
//
// skinPath: the skin file, in the locale's 8-bit encoding. key: reserved, ignored.
// Returns 0 when the skin was applied, otherwise a SkinError code; on failure the look is left as it was.
extern "C" int SkinH_AttachEx(const char *skinPath, const char *key);

using SkinAttachExFunction = int (*)(const char *skinPath, const char *key);
inline constexpr const char *SkinAttachExSymbol = "SkinH_AttachEx";
