// The records of the system files, their data, and the root directory's index.
#pragma once

#include "ntfs/format_context.h"

namespace lintora {

// Fills mft_buffer with records 0 to 15 and the free records after them, marks records 0 to 15
// in mft_bitmap, builds the root index, and writes the data of the files whose contents exist
// now. The records themselves are written later, with fixups.
ntfs_status build_system_files(NtfsFormatContext& ctx);

}  // namespace lintora
