#include "PictureErrors.h"

#include "RuntimeError.h"

int errorNumberOf(PictureError kind)
{
    switch (kind) {
    case PictureError::FileNotFound: return ErrorNumber::FileNotFound;
    case PictureError::PermissionDenied:
    case PictureError::ReadOnlyDisk: return ErrorNumber::PermissionDenied;
    case PictureError::FileAccess:
    case PictureError::NameTooLong:
    case PictureError::PathBlocked:
    case PictureError::NameRefused:
    case PictureError::TargetExists: return ErrorNumber::PathFileAccess;
    case PictureError::NotAPicture:
    case PictureError::NoPicture:
    case PictureError::TooLargeForFormat: return ErrorNumber::InvalidPicture;
    case PictureError::OutOfMemory: return ErrorNumber::OutOfMemory;
    case PictureError::DiskFull: return ErrorNumber::DiskFull;
    }
    return ErrorNumber::PathFileAccess;
}

void throwPictureError(const PictureFailure &failure)
{
    throw RuntimeError(errorNumberOf(failure.kind), failure.detail);
}
