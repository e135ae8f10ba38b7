// Result codes of every NTFS encoding and formatting operation. The first non-zero code ends a
// format run and is passed up unchanged.
#pragma once

#include <cstdint>

namespace lintora {

using ntfs_status = uint32_t;

inline constexpr ntfs_status NTFS_OK = 0;
inline constexpr ntfs_status NTFS_NOT_FOUND = 1;      // attribute absent from its record
inline constexpr ntfs_status NTFS_INVALID = 2;        // bad argument, duplicate, wrong form
inline constexpr ntfs_status NTFS_NO_MEMORY = 3;      // a temporary buffer could not be allocated
inline constexpr ntfs_status NTFS_NAME_TOO_LONG = 5;  // name or label above 510 bytes
inline constexpr ntfs_status NTFS_NO_SPACE = 6;       // record, block or bitmap has no room
inline constexpr ntfs_status NTFS_WRITE_FAILED = 7;   // the write callback wrote less than asked
inline constexpr ntfs_status NTFS_BAD_SYSTEM_CLUSTER = 8;  // a bad cluster where a system file lies
inline constexpr ntfs_status NTFS_TOO_MANY_BAD_CLUSTERS =
    9;  // the $Bad run list outgrows its record
inline constexpr ntfs_status NTFS_BAD_CLUSTER_SIZE =
    10;  // not a power of two, below the sector or above 2 MiB
inline constexpr ntfs_status NTFS_TOO_MANY_CLUSTERS = 11;  // more than 0xFFFFFFFF clusters

// A short text for a result code, for command-line reports.
const char* ntfs_status_text(ntfs_status status);

// Ends the calling operation with the first failing status, unchanged.
#define NTFS_RETURN_IF_FAILED(expr)         \
    do {                                    \
        const ntfs_status status_ = (expr); \
        if (status_ != NTFS_OK)             \
            return status_;                 \
    } while (0)

}  // namespace lintora
