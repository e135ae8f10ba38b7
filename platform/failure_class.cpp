#include <cerrno>

#include "platform/outcome.h"

namespace lintora {

FailureClass failure_class_of_errno(int code) {
    switch (code) {
        case ENODEV:
        case ENXIO:
#ifdef ENOMEDIUM
        case ENOMEDIUM:
#endif
            return FailureClass::gone;
        case EROFS:
        case EPERM:
        case EACCES:
        case EINVAL:
            return FailureClass::refused;
        case EIO:
#ifdef ENODATA
        case ENODATA:  // Linux's block layer reports a critical medium error so
#endif
            return FailureClass::medium;
        default:
            return FailureClass::other;
    }
}

FailureClass failure_class_of_windows_error(uint32_t code) {
    switch (code) {
        case 2:     // ERROR_FILE_NOT_FOUND: a disk pulled, as Windows 10 1809 and earlier say
        case 21:    // ERROR_NOT_READY
        case 55:    // ERROR_DEV_NOT_EXIST, from the class driver
        case 433:   // ERROR_NO_SUCH_DEVICE
        case 1167:  // ERROR_DEVICE_NOT_CONNECTED
        case 1617:  // ERROR_DEVICE_REMOVED
            return FailureClass::gone;
        case 5:   // ERROR_ACCESS_DENIED: a "deny write access" policy among others
        case 19:  // ERROR_WRITE_PROTECT
        case 87:  // ERROR_INVALID_PARAMETER
            return FailureClass::refused;
        case 23:    // ERROR_CRC
        case 27:    // ERROR_SECTOR_NOT_FOUND
        case 483:   // ERROR_DEVICE_HARDWARE_ERROR
        case 1117:  // ERROR_IO_DEVICE
            return FailureClass::medium;
        default:
            return FailureClass::other;
    }
}

}  // namespace lintora
