// Adders that fill one attribute kind each, unnamed.
#pragma once

#include <cstdint>

#include "ntfs/cluster_run.h"
#include "ntfs/file_record.h"

namespace lintora {

// The four times = now, file attributes hidden and system.
ntfs_status add_standard_information(const NtfsFormatContext& ctx, FileRecordBuffer record);

// Resident when it fits, else non-resident on a newly allocated run.
ntfs_status add_security_descriptor(NtfsFormatContext& ctx, FileRecordBuffer record,
                                    const uint8_t* descriptor, uint64_t size);

// Largest $VOLUME_NAME value, as the volume's $AttrDef states it.
inline constexpr uint32_t kVolumeNameMaxBytes = 0x100;

// The label's code units; an absent label gives an empty value, a label above
// kVolumeNameMaxBytes gives NTFS_NAME_TOO_LONG.
ntfs_status add_volume_name(const CountedName* label, FileRecordBuffer record,
                            const NtfsFormatContext& ctx);

ntfs_status add_volume_information(uint8_t major, uint8_t minor, FileRecordBuffer record,
                                   const NtfsFormatContext& ctx);

// A resident $DATA with an empty value.
ntfs_status add_empty_data(FileRecordBuffer record, const NtfsFormatContext& ctx);

// A non-resident $DATA over `run`, with `data` (if any) written into it.
ntfs_status add_data_attribute(const NtfsFormatContext& ctx, FileRecordBuffer record,
                               const ClusterRun& run, const uint8_t* data, uint64_t size,
                               const CountedName* name);

inline constexpr uint32_t kFileAttributesHiddenSystem = 0x00000006;
inline constexpr uint16_t kVolumeFlagUpgradeOnMount = 0x0004;

}  // namespace lintora
