#pragma once

// Outcome of loading a skin. The numbers are what SkinH_AttachEx returns, so they never change meaning;
// new failures get new numbers at the end.
enum class SkinError : int {
    Ok = 0,
    NoApplication = 1, // no QApplication exists (none at all, or only a QCoreApplication/QGuiApplication)
    WrongThread = 2,   // called from a thread other than the GUI thread
    NoPath = 3,        // null or empty path
    FileNotFound = 4,
    NotAFile = 5,       // a folder, device, pipe, ...
    FileUnreadable = 6, // exists but cannot be opened or read
    FileTooLarge = 7,   // larger than MaxSkinFileSize
    FileEmpty = 8,      // no bytes, or only blank and comment lines
    NotText = 9,        // NUL bytes, invalid UTF-8 or control characters
    MissingHeader = 10, // the first meaningful line is not "kelvo-skin <version>"
    UnknownVersion = 11,
    MalformedLine = 12, // not "key = value", or junk after the value
    UnknownKey = 13,
    DuplicateKey = 14,
    BadColour = 15,  // value is not #rrggbb
    MissingKey = 16, // a required key is absent
    Internal = 17,   // out of memory or another unexpected failure
};

// Short English name for logs.
const char *skinErrorName(SkinError error);
