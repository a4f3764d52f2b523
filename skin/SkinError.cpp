#include "skin/SkinError.h"

const char *skinErrorName(SkinError error)
{
    switch (error) {
    case SkinError::Ok: return "ok";
    case SkinError::NoApplication: return "no QApplication";
    case SkinError::WrongThread: return "not called from the GUI thread";
    case SkinError::NoPath: return "no path given";
    case SkinError::FileNotFound: return "file not found";
    case SkinError::NotAFile: return "not a regular file";
    case SkinError::FileUnreadable: return "file unreadable";
    case SkinError::FileTooLarge: return "file too large";
    case SkinError::FileEmpty: return "file empty";
    case SkinError::NotText: return "not a text file";
    case SkinError::MissingHeader: return "missing 'kelvo-skin' header";
    case SkinError::UnknownVersion: return "unknown format version";
    case SkinError::MalformedLine: return "malformed line";
    case SkinError::UnknownKey: return "unknown key";
    case SkinError::DuplicateKey: return "duplicate key";
    case SkinError::BadColour: return "bad colour";
    case SkinError::MissingKey: return "missing key";
    case SkinError::Internal: return "internal error";
    }
    return "unknown error";
}
