#include "ntfs/typed_attributes.h"

#include "base/le.h"

namespace lintora {

ntfs_status add_standard_information(const NtfsFormatContext& ctx, FileRecordBuffer record) {
    uint8_t value[48] = {};
    for (int i = 0; i < 4; ++i) {
        store_u64(value + 8 * i, ctx.now);
    }
    store_u32(value + 0x20, kFileAttributesHiddenSystem);
    return add_resident_attribute(ctx, record, kAttrStandardInformation, 0, value, sizeof value,
                                  nullptr);
}

ntfs_status add_security_descriptor(NtfsFormatContext& ctx, FileRecordBuffer record,
                                    const uint8_t* descriptor, uint64_t size) {
    if (record_bytes_in_use(record) + 24 + size > record_bytes_allocated(record)) {
        return allocate_nonresident_attribute(ctx, record, kAttrSecurityDescriptor, nullptr,
                                              descriptor, size);
    }
    return add_resident_attribute(ctx, record, kAttrSecurityDescriptor, 0, descriptor,
                                  static_cast<uint32_t>(size), nullptr);
}

ntfs_status add_volume_name(const CountedName* label, FileRecordBuffer record,
                            const NtfsFormatContext& ctx) {
    // The volume's own $AttrDef gives $VOLUME_NAME at most 0x100 bytes.
    const uint32_t bytes = name_bytes(label);
    if (bytes > kVolumeNameMaxBytes) {
        return NTFS_NAME_TOO_LONG;
    }
    uint8_t value[kVolumeNameMaxBytes];
    name_to_le(label, value);
    return add_resident_attribute(ctx, record, kAttrVolumeName, 0, value, bytes, nullptr);
}

ntfs_status add_volume_information(uint8_t major, uint8_t minor, FileRecordBuffer record,
                                   const NtfsFormatContext& ctx) {
    uint8_t value[12] = {};
    value[8] = major;
    value[9] = minor;
    store_u16(value + 10, kVolumeFlagUpgradeOnMount);
    return add_resident_attribute(ctx, record, kAttrVolumeInformation, 0, value, sizeof value,
                                  nullptr);
}

ntfs_status add_empty_data(FileRecordBuffer record, const NtfsFormatContext& ctx) {
    // Half a kilobyte stays free for the attributes that follow. A record too full for even an
    // empty resident $DATA is refused: the system records never come near that.
    const uint32_t limit = record_bytes_allocated(record) - 512;
    if (record_bytes_in_use(record) + 24 > limit) {
        return NTFS_NO_SPACE;
    }
    return add_resident_attribute(ctx, record, kAttrData, 0, nullptr, 0, nullptr);
}

ntfs_status add_data_attribute(const NtfsFormatContext& ctx, FileRecordBuffer record,
                               const ClusterRun& run, const uint8_t* data, uint64_t size,
                               const CountedName* name) {
    return add_nonresident_attribute(ctx, record, kAttrData, run, data, size, name);
}

}  // namespace lintora
