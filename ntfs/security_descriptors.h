// Self-relative security descriptors of the system files and of the root directory.
#pragma once

#include <cstdint>

#include "ntfs/format_context.h"

namespace lintora {

inline constexpr uint32_t kSystemFileSdBytes = 104;
inline constexpr uint32_t kRootSdBytes = 236;

// Owner and group Administrators; SYSTEM and Administrators are granted read (files whose
// contents only the file system changes) or read and write.
ByteBuffer build_system_file_sd(uint32_t record_number, uint32_t* length);

// Full control for Administrators and SYSTEM, modify for Authenticated Users, read and execute
// for Users, each inherited by what the directory will hold.
ByteBuffer build_root_sd(uint32_t* length);

}  // namespace lintora
