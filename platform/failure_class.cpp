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

// Sorted by where the disk class driver takes each code from: only a medium's own sense data
// (a CRC or unrecovered read error) is a bad sector; a transport error, a hardware fault or a
// drive that is not ready is no sector's fault, and an address out of range is a refusal.
FailureClass failure_class_of_windows_error(uint32_t code) {
    switch (code) {
        case 2:     // ERROR_FILE_NOT_FOUND: a disk pulled, as Windows 10 1809 and earlier say
        case 55:    // ERROR_DEV_NOT_EXIST, from the class driver
        case 433:   // ERROR_NO_SUCH_DEVICE
        case 1167:  // ERROR_DEVICE_NOT_CONNECTED
        case 1617:  // ERROR_DEVICE_REMOVED
            return FailureClass::gone;
        case 5:   // ERROR_ACCESS_DENIED: a "deny write access" policy among others
        case 19:  // ERROR_WRITE_PROTECT
        case 27:  // ERROR_SECTOR_NOT_FOUND: ILLEGAL REQUEST, the block address out of range
        case 87:  // ERROR_INVALID_PARAMETER
            return FailureClass::refused;
        case 23:  // ERROR_CRC: MEDIUM ERROR sense data
            return FailureClass::medium;
        case 21:    // ERROR_NOT_READY: spinning up, or no medium; not gone for good
        case 483:   // ERROR_DEVICE_HARDWARE_ERROR: retries are very unlikely to succeed
        case 1117:  // ERROR_IO_DEVICE: an SRB error without sense data, a bus reset, parity
        default:
            return FailureClass::other;
    }
}

}  // namespace lintora
