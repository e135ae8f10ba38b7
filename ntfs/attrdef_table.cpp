#include "ntfs/attrdef_table.h"

#include <cstring>

#include "base/le.h"
#include "ntfs/typed_attributes.h"

namespace lintora {

namespace {

constexpr uint64_t kNoLimit = ~0ull;
constexpr uint32_t kIndexable = 0x02;
constexpr uint32_t kAlwaysResident = 0x40;
constexpr uint32_t kAlwaysLogged = 0x80;

struct AttrDefinition {
    const char* name;
    uint32_t type;
    uint32_t flags;
    uint64_t minimum;
    uint64_t maximum;
};

constexpr AttrDefinition kDefinitions[] = {
    {"$STANDARD_INFORMATION", 0x10, kAlwaysResident, 0x30, 0x30},
    {"$ATTRIBUTE_LIST", 0x20, kAlwaysLogged, 0, kNoLimit},
    {"$FILE_NAME", 0x30, kAlwaysResident | kIndexable, 0x44, 0x242},
    {"$VOLUME_VERSION", 0x40, kAlwaysResident, 8, 8},
    {"$SECURITY_DESCRIPTOR", 0x50, kAlwaysLogged, 0, kNoLimit},
    {"$VOLUME_NAME", 0x60, kAlwaysResident, 2, kVolumeNameMaxBytes},
    {"$VOLUME_INFORMATION", 0x70, kAlwaysResident, 0x0C, 0x0C},
    {"$DATA", 0x80, 0, 0, kNoLimit},
    {"$INDEX_ROOT", 0x90, kAlwaysResident, 0, kNoLimit},
    {"$INDEX_ALLOCATION", 0xA0, kAlwaysLogged, 0, kNoLimit},
    {"$BITMAP", 0xB0, kAlwaysLogged, 0, kNoLimit},
    {"$SYMBOLIC_LINK", 0xC0, kAlwaysLogged, 0, kNoLimit},
    {"$EA_INFORMATION", 0xD0, kAlwaysResident, 8, 8},
    {"$EA", 0xE0, 0, 0, 0x10000},
};

}  // namespace

void build_attrdef_table(uint32_t size, uint8_t* buffer) {
    std::memset(buffer, 0, size);
    uint32_t offset = 0;
    for (const AttrDefinition& def : kDefinitions) {
        if (offset + kAttrDefEntryBytes > size) {
            break;
        }
        uint8_t* entry = buffer + offset;
        for (uint32_t i = 0; def.name[i] != '\0' && i < 63; ++i) {
            store_u16(entry + 2 * i, static_cast<uint8_t>(def.name[i]));
        }
        store_u32(entry + 128, def.type);
        store_u32(entry + 132, 0);  // display rule
        store_u32(entry + 136, 0);  // collation rule
        store_u32(entry + 140, def.flags);
        store_u64(entry + 144, def.minimum);
        store_u64(entry + 152, def.maximum);
        offset += kAttrDefEntryBytes;
    }
}

}  // namespace lintora
