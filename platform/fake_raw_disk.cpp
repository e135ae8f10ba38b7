#include "platform/fake_raw_disk.h"

#include <string>

namespace lintora {

namespace {

class FakeDevice final : public DiskDevice {
  public:
    FakeDevice(FakeDiskSystem& system, std::string name) : system_(system), name_(std::move(name)) {
        ++system_.log().open_handles;
    }
    ~FakeDevice() override {
        --system_.log().open_handles;
        system_.log().calls.push_back("close " + name_);
    }

    bool write_at(uint64_t offset, const uint8_t* data, uint32_t length) override {
        FakeDiskLog& log = system_.log();
        const uint64_t k = ++log.disk_writes;
        if (system_.refuses("write#" + std::to_string(k))) {
            log.calls.push_back("write refused");
            return false;
        }
        log.calls.push_back("write " + std::to_string(offset) + " " + std::to_string(length));
        if (system_.keep_bytes) {
            for (uint32_t i = 0; i < length; ++i) {
                log.written[offset + i] = data[i];
            }
        }
        return true;
    }

    bool flush() override { return record("flush"); }
    bool lock_volume() override { return record("lock " + name_.substr(7)); }
    bool dismount_volume() override { return record("dismount " + name_.substr(7)); }

    bool create_disk(const CreateDiskRecord& record_in) override {
        system_.log().last_create = record_in;
        return record("create_disk");
    }

    bool update_properties() override {
        const std::string numbered = "update_properties#" + std::to_string(++updates_);
        if (system_.refuses(numbered)) {
            system_.log().calls.push_back(numbered + " refused");
            return false;
        }
        return record("update_properties");
    }

    bool set_drive_layout(const uint8_t* layout, uint32_t size) override {
        system_.log().last_layout.assign(layout, layout + size);
        return record("set_drive_layout " + std::to_string(size));
    }

  private:
    bool record(const std::string& operation) {
        // "lock E" is refused by naming it whole or by its verb alone.
        const std::string verb = operation.substr(0, operation.find(' '));
        const bool refused = system_.refuses(operation) || system_.refuses(verb);
        system_.log().calls.push_back(operation + (refused ? " refused" : ""));
        return !refused;
    }

    FakeDiskSystem& system_;
    std::string name_;
    int updates_ = 0;
};

}  // namespace

std::unique_ptr<DiskDevice> FakeDiskSystem::open_disk(const char16_t*) {
    if (refuses("open_disk")) {
        log_.calls.push_back("open_disk refused");
        return nullptr;
    }
    log_.calls.push_back("open_disk");
    return std::make_unique<FakeDevice>(*this, "disk");
}

std::unique_ptr<DiskDevice> FakeDiskSystem::open_volume(char letter) {
    const std::string operation = std::string("open_volume ") + letter;
    if (refuses(operation)) {
        log_.calls.push_back(operation + " refused");
        return nullptr;
    }
    log_.calls.push_back(operation);
    return std::make_unique<FakeDevice>(*this, std::string("volume ") + letter);
}

void FakeDiskSystem::notify_drive_removed(char letter) {
    log_.calls.push_back(std::string("notify ") + letter);
}

Guid FakeDiskSystem::make_guid() {
    Guid guid;
    guid.bytes[0] = next_guid_++;
    return guid;
}

}  // namespace lintora
