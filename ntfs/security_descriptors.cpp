#include "ntfs/security_descriptors.h"

#include <initializer_list>

#include "base/le.h"

namespace lintora {

namespace {

constexpr uint16_t kSelfRelativeDaclPresent = 0x8004;
constexpr uint32_t kSidLocalSystem[] = {18};          // S-1-5-18
constexpr uint32_t kSidAuthenticatedUsers[] = {11};   // S-1-5-11
constexpr uint32_t kSidAdministrators[] = {32, 544};  // S-1-5-32-544
constexpr uint32_t kSidUsers[] = {32, 545};           // S-1-5-32-545
constexpr uint8_t kInheritOnlyToAll = 0x0B;

struct Sid {
    const uint32_t* sub_authorities;
    uint8_t count;
};

template <size_t N>
constexpr Sid sid(const uint32_t (&subs)[N]) {
    return Sid{subs, static_cast<uint8_t>(N)};
}

uint32_t sid_bytes(Sid s) {
    return 8u + 4u * s.count;
}

// Revision 1, the count, the NT authority (5) as a 6-byte big-endian number, the sub-authorities.
uint8_t* put_sid(uint8_t* p, Sid s) {
    p[0] = 1;
    p[1] = s.count;
    p[7] = 5;
    for (uint8_t i = 0; i < s.count; ++i) {
        store_u32(p + 8 + 4 * i, s.sub_authorities[i]);
    }
    return p + sid_bytes(s);
}

struct Ace {
    uint8_t flags;
    uint32_t mask;
    Sid sid;
};

// Header, an access-allowed ACL of `aces`, then owner and group (both Administrators).
ByteBuffer build_descriptor(std::initializer_list<Ace> aces, uint32_t* length) {
    uint32_t acl_size = 8;
    for (const Ace& ace : aces) {
        acl_size += 8 + sid_bytes(ace.sid);
    }
    const Sid admins = sid(kSidAdministrators);
    const uint32_t owner = 20 + acl_size;
    const uint32_t group = owner + sid_bytes(admins);
    const uint32_t total = group + sid_bytes(admins);
    ByteBuffer buffer = allocate_zeroed(total);
    if (!buffer) {
        return buffer;
    }
    uint8_t* d = buffer.get();
    d[0] = 1;
    store_u16(d + 2, kSelfRelativeDaclPresent);
    store_u32(d + 4, owner);
    store_u32(d + 8, group);
    store_u32(d + 16, 20);  // DACL
    uint8_t* acl = d + 20;
    acl[0] = 2;
    store_u16(acl + 2, static_cast<uint16_t>(acl_size));
    store_u16(acl + 4, static_cast<uint16_t>(aces.size()));
    uint8_t* p = acl + 8;
    for (const Ace& ace : aces) {
        p[0] = 0;  // access allowed
        p[1] = ace.flags;
        store_u16(p + 2, static_cast<uint16_t>(8 + sid_bytes(ace.sid)));
        store_u32(p + 4, ace.mask);
        p = put_sid(p + 8, ace.sid);
    }
    put_sid(d + owner, admins);
    put_sid(d + group, admins);
    *length = total;
    return buffer;
}

}  // namespace

ByteBuffer build_system_file_sd(uint32_t record_number, uint32_t* length) {
    const bool writable =
        record_number == 3 || record_number == 5 || record_number == 9 || record_number > 10;
    const uint32_t mask = writable ? 0x0012019F : 0x00120089;
    return build_descriptor({{0, mask, sid(kSidLocalSystem)}, {0, mask, sid(kSidAdministrators)}},
                            length);
}

ByteBuffer build_root_sd(uint32_t* length) {
    return build_descriptor({{0, 0x001F01FF, sid(kSidAdministrators)},
                             {kInheritOnlyToAll, 0x10000000, sid(kSidAdministrators)},
                             {0, 0x001F01FF, sid(kSidLocalSystem)},
                             {kInheritOnlyToAll, 0x10000000, sid(kSidLocalSystem)},
                             {0, 0x001301BF, sid(kSidAuthenticatedUsers)},
                             {kInheritOnlyToAll, 0xE0010000, sid(kSidAuthenticatedUsers)},
                             {0, 0x001200A9, sid(kSidUsers)},
                             {kInheritOnlyToAll, 0xA0000000, sid(kSidUsers)}},
                            length);
}

}  // namespace lintora
