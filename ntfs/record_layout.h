// Byte offsets of the fields of an MFT record header and of an attribute header, as they lie on
// disk. Only the encoders that read or write these fields need them.
#pragma once

#include <cstdint>

namespace lintora {

// Record header fields (byte offsets).
inline constexpr uint32_t kRecordMagic = 0x00;
inline constexpr uint32_t kRecordUsaOffset = 0x04;
inline constexpr uint32_t kRecordUsaCount = 0x06;
inline constexpr uint32_t kRecordLsn = 0x08;
inline constexpr uint32_t kRecordSequence = 0x10;
inline constexpr uint32_t kRecordLinkCount = 0x12;
inline constexpr uint32_t kRecordFirstAttribute = 0x14;
inline constexpr uint32_t kRecordFlags = 0x16;
inline constexpr uint32_t kRecordBytesInUse = 0x18;
inline constexpr uint32_t kRecordBytesAllocated = 0x1C;
inline constexpr uint32_t kRecordNextAttributeId = 0x28;
inline constexpr uint32_t kRecordNumber = 0x2C;
inline constexpr uint32_t kRecordUsaStart = 0x30;

inline constexpr uint16_t kRecordInUse = 0x0001;
inline constexpr uint16_t kRecordIsDirectory = 0x0002;

// Attribute header fields (byte offsets from the attribute's start).
inline constexpr uint32_t kAttrType = 0x00;
inline constexpr uint32_t kAttrLength = 0x04;
inline constexpr uint32_t kAttrNonResident = 0x08;
inline constexpr uint32_t kAttrNameLength = 0x09;
inline constexpr uint32_t kAttrNameOffset = 0x0A;
inline constexpr uint32_t kAttrId = 0x0E;
inline constexpr uint32_t kAttrValueLength = 0x10;  // resident
inline constexpr uint32_t kAttrValueOffset = 0x14;  // resident
inline constexpr uint32_t kAttrIndexed = 0x16;      // resident
inline constexpr uint32_t kAttrLastVcn = 0x18;      // non-resident
inline constexpr uint32_t kAttrMappingPairsOffset = 0x20;
inline constexpr uint32_t kAttrAllocatedSize = 0x28;
inline constexpr uint32_t kAttrDataSize = 0x30;
inline constexpr uint32_t kAttrInitializedSize = 0x38;

inline constexpr uint32_t kEndMarker = 0xFFFFFFFF;

}  // namespace lintora
