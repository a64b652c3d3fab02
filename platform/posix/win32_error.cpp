#include "platform/posix/win32_error.h"

#include <cerrno>

#include "platform/platform.h"

namespace tolvex::posix {

namespace {
constexpr uint32_t kErrTooManyOpenFiles = 4;
constexpr uint32_t kErrNotEnoughMemory = 8;
constexpr uint32_t kErrNotSameDevice = 17;
constexpr uint32_t kErrGeneralFailure = 31;
constexpr uint32_t kErrIoDevice = 1117;
constexpr uint32_t kErrCantResolveFilename = 1921;  // too many links
}  // namespace

uint32_t Win32FromErrno(int error, ErrnoSite site) {
  switch (error) {
    case ENOENT:
      return site == ErrnoSite::kFolder ? kErrPathNotFound : kErrFileNotFound;
    case ENOTDIR:
      return kErrPathNotFound;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
      return kErrAccessDenied;
    case EAGAIN:
    case EBUSY:
    case ETXTBSY:
      return kErrSharingViolation;
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
      return kErrDiskFull;
    case ENOTEMPTY:
      return kErrDirNotEmpty;
    case ENAMETOOLONG:
      return kErrFilenameTooLong;
    case EEXIST:
      return site == ErrnoSite::kFolderOrMove ? kErrAlreadyExists : kErrFileExists;
    case EINVAL:
      return kErrInvalidParameter;
    case EXDEV:
      return kErrNotSameDevice;
    case ELOOP:
      return kErrCantResolveFilename;
    case EMFILE:
    case ENFILE:
      return kErrTooManyOpenFiles;
    case ENOMEM:
      return kErrNotEnoughMemory;
    case EIO:
      return kErrIoDevice;
    case ECANCELED:
      return kErrRequestAborted;
    default:
      return kErrGeneralFailure;
  }
}

}  // namespace tolvex::posix
