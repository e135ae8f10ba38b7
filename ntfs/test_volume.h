// Test seams for code that writes through the format callback: a sink that records every call
// (and can keep what was written as a sparse image), and the same sink failing its k-th call.
#pragma once

#include <cstdint>
#include <unordered_map>
#include <vector>

#include "ntfs/format_params.h"

namespace lintora {

struct WriteCall {
    uint64_t offset;
    uint64_t length;
    uint64_t hash;  // FNV-1a of the bytes

    bool operator==(const WriteCall&) const = default;
};

class RecordingSink {
  public:
    // With keep_contents the written bytes are kept, page by page, for read-back.
    explicit RecordingSink(bool keep_contents = true) : keep_contents_(keep_contents) {}

    // Makes call number `k` (1-based) fail by writing nothing and returning 0.
    void fail_call(uint64_t k) { fail_at_ = k; }

    // The callback to put in NtfsFormatParams, with this sink as write_user.
    static uint64_t write(void* user, uint64_t offset, const uint8_t* data, uint64_t length);

    // Bytes as the sink holds them; never-written bytes read as zero.
    std::vector<uint8_t> read(uint64_t offset, uint64_t length) const;

    const std::vector<WriteCall>& calls() const { return calls_; }
    uint64_t bytes_written() const;

  private:
    static constexpr uint64_t kPage = 4096;
    bool keep_contents_;
    uint64_t fail_at_ = 0;
    uint64_t attempts_ = 0;
    std::vector<WriteCall> calls_;
    std::unordered_map<uint64_t, std::vector<uint8_t>> pages_;
};

uint64_t fnv1a(const uint8_t* data, uint64_t length);

// Parameters for a volume of `sector_count` sectors written into `sink`.
NtfsFormatParams test_params(RecordingSink& sink, uint64_t sector_count,
                             uint16_t bytes_per_sector = 512, const CountedName* label = nullptr);

struct NtfsFormatContext;

// A context for exercising the encoders on their own: 4096-byte clusters, records of
// `record_size` bytes, the upper-case table, a bitmap of `clusters` clusters, writes into `sink`.
void init_test_context(NtfsFormatContext& ctx, RecordingSink& sink, uint32_t record_size = 1024,
                       uint64_t clusters = 1024);

}  // namespace lintora
