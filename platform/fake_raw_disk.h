// A raw-disk layer for tests: records every call in order, keeps what was written, and can
// refuse any operation.
#pragma once

#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "platform/raw_disk.h"

namespace lintora {

struct FakeDiskLog {
    std::vector<std::string> calls;       // "open_disk", "write 0 512", "close disk", ...
    std::map<uint64_t, uint8_t> written;  // bytes written to the disk, by offset (sparse)
    std::vector<uint8_t> last_layout;     // the last drive layout image
    CreateDiskRecord last_create;
    uint64_t disk_writes = 0;
    int open_handles = 0;
};

class FakeDiskSystem final : public DiskSystem {
  public:
    // `refuse` names the operations to fail: "open_disk", "open_volume E", "lock E",
    // "dismount E", "write#K" (the K-th write to the disk, 1-based), "flush", "create_disk",
    // "update_properties" (every call) or "update_properties#K", "set_drive_layout".
    explicit FakeDiskSystem(std::set<std::string> refuse = {}) : refuse_(std::move(refuse)) {}

    std::unique_ptr<DiskDevice> open_disk(const char16_t* path) override;
    std::unique_ptr<DiskDevice> open_volume(char letter) override;
    void notify_drive_removed(char letter) override;
    Guid make_guid() override;

    bool refuses(const std::string& operation) const { return refuse_.count(operation) != 0; }
    FakeDiskLog& log() { return log_; }

    // Stores the bytes of a write (off for large volumes, where only the calls matter).
    bool keep_bytes = true;

  private:
    std::set<std::string> refuse_;
    FakeDiskLog log_;
    uint8_t next_guid_ = 1;
};

}  // namespace lintora
