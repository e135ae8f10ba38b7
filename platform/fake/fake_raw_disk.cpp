#include "platform/fake/fake_raw_disk.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "platform/encoding/utf.h"

namespace lintora {

namespace {

const Outcome kRefused = Outcome::failure("refused by the test");

// What a disk and a volume of the fake share: the open-handle count, the log of its calls
// under its name, and refusals.
class FakeHandle {
  public:
    FakeHandle(FakeDiskSystem& system, std::string name, char letter)
        : system_(system), name_(std::move(name)), letter_(letter) {
        ++system_.log().open_handles;
    }
    ~FakeHandle() {
        --system_.log().open_handles;
        system_.log().calls.push_back("close " + name_);
    }
    FakeHandle(const FakeHandle&) = delete;
    FakeHandle& operator=(const FakeHandle&) = delete;

  protected:
    Outcome record(FakeOp op, const std::string& call) {
        const bool refused = system_.refuses(op, letter_);
        system_.log().calls.push_back(call + (refused ? " refused" : ""));
        return refused ? kRefused : Outcome::success();
    }

    FakeDiskSystem& system_;
    std::string name_;
    char letter_;
};

class FakeDisk final : public DiskDevice, FakeHandle {
  public:
    explicit FakeDisk(FakeDiskSystem& system) : FakeHandle(system, "disk", '\0') {}

    Outcome write_at(uint64_t offset, const uint8_t* data, uint32_t length) override {
        FakeDiskLog& log = system_.log();
        if (system_.refuses(FakeOp::write)) {
            log.calls.push_back("write refused");
            return kRefused;
        }
        const std::string call = std::to_string(offset) + " " + std::to_string(length);
        const Outcome faulty = medium_fault(offset, length);
        if (!faulty.ok()) {
            log.calls.push_back("write " + call + " failed");
            return faulty;
        }
        log.calls.push_back("write " + call);
        if (system_.keep_bytes) {
            log.written.write(offset, data, length);
        }
        return Outcome::success();
    }

    Outcome read_at(uint64_t offset, uint8_t* data, uint32_t length) override {
        const std::string call = "read " + std::to_string(offset) + " " + std::to_string(length);
        Outcome read = record(FakeOp::read, call);
        if (read.ok()) {
            read = medium_fault(offset, length);
        }
        if (!read.ok()) {
            return read;
        }
        system_.log().written.read(offset, data, length);
        for (auto changed = system_.altered.lower_bound(offset);
             changed != system_.altered.end() && changed->first < offset + length; ++changed) {
            data[changed->first - offset] = changed->second;
        }
        return Outcome::success();
    }

    Outcome flush() override { return record(FakeOp::flush, "flush"); }
    Outcome forget_cached() override {
        system_.log().calls.push_back("forget_cached");
        return Outcome::success();
    }

    Outcome create_disk(const CreateDiskRecord& record_in) override {
        system_.log().last_create = record_in;
        return record(FakeOp::create_disk, "create_disk");
    }

    Outcome update_properties() override {
        return record(FakeOp::update_properties, "update_properties");
    }

    Outcome set_drive_layout(const uint8_t* layout, uint32_t size) override {
        system_.log().last_layout.assign(layout, layout + size);
        return record(FakeOp::set_drive_layout, "set_drive_layout " + std::to_string(size));
    }

  private:
    // A request that meets a bad range or an unplugged disk fails as the medium would fail it.
    Outcome medium_fault(uint64_t offset, uint32_t length) const {
        if (system_.unplugged) {
            Outcome gone = Outcome::failure("No such device");
            gone.cause = FailureClass::gone;
            return gone;
        }
        for (const auto& [first, end] : system_.bad_ranges) {
            if (offset < end && first < offset + length) {
                if (system_.transient_failures != 0 && --system_.transient_failures == 0) {
                    system_.bad_ranges.clear();  // the last failure of a transient error
                }
                if (system_.unplugged_after_bad) {
                    system_.unplugged = true;  // this failure was the disk going away
                }
                Outcome failed = Outcome::failure(
                    system_.bad_range_cause == FailureClass::refused ? "Read-only file system"
                    : system_.bad_range_cause == FailureClass::other ? "Resource busy"
                                                                     : "Input/output error");
                failed.cause = system_.bad_range_cause;
                return failed;
            }
        }
        return Outcome::success();
    }
};

// A handle on a volume, called by `shown` in the log (the letter or the GUID path); `volume`
// is the modelled volume it reaches, if any.
class FakeVolumeHandle final : public VolumeHandle, FakeHandle {
  public:
    FakeVolumeHandle(FakeDiskSystem& system, const std::string& shown, char letter,
                     FakeVolume* volume)
        : FakeHandle(system, "volume " + shown, letter), shown_(shown), volume_(volume) {}
    ~FakeVolumeHandle() override {
        if (volume_ != nullptr && holds_lock_) {
            volume_->locked = false;
        }
    }

    Outcome lock_volume() override {
        const std::string call = "lock " + shown_;
        if (volume_ != nullptr && (volume_->locked || volume_->busy_locks > 0)) {
            if (!volume_->locked) {
                --volume_->busy_locks;
            }
            system_.refuses(FakeOp::lock, letter_);
            system_.log().calls.push_back(call + " in use");
            Outcome busy = Outcome::failure("Access is denied (the volume is in use)");
            busy.in_use = true;
            return busy;
        }
        const Outcome locked = record(FakeOp::lock, call);
        if (locked.ok() && volume_ != nullptr) {
            volume_->locked = holds_lock_ = true;
        }
        return locked;
    }
    Outcome dismount_volume() override { return record(FakeOp::dismount, "dismount " + shown_); }

  private:
    std::string shown_;
    FakeVolume* volume_;
    bool holds_lock_ = false;
};

}  // namespace

void FakeMedium::write(uint64_t offset, const uint8_t* data, uint32_t length) {
    for (uint32_t done = 0; done < length;) {
        const uint64_t at = offset + done;
        const auto in_page = static_cast<uint32_t>(at % kPage);
        const uint32_t size = std::min(length - done, kPage - in_page);
        Page& page = pages_[at / kPage];
        std::memcpy(page.bytes.data() + in_page, data + done, size);
        for (uint32_t i = 0; i < size; ++i) {
            page.held.set(in_page + i);
        }
        done += size;
    }
}

void FakeMedium::read(uint64_t offset, uint8_t* data, uint32_t length) const {
    for (uint32_t done = 0; done < length;) {
        const uint64_t at = offset + done;
        const auto in_page = static_cast<uint32_t>(at % kPage);
        const uint32_t size = std::min(length - done, kPage - in_page);
        const auto found = pages_.find(at / kPage);
        if (found == pages_.end()) {
            std::memset(data + done, 0, size);
        } else {
            std::memcpy(data + done, found->second.bytes.data() + in_page, size);
        }
        done += size;
    }
}

std::optional<uint8_t> FakeMedium::at(uint64_t offset) const {
    const auto found = pages_.find(offset / kPage);
    if (found == pages_.end() || !found->second.held.test(offset % kPage)) {
        return std::nullopt;
    }
    return found->second.bytes[offset % kPage];
}

Outcome FakeDiskSystem::room_missing_to_fill(const char16_t*, uint64_t* missing) {
    *missing = shortfall;
    return Outcome::success();
}

bool FakeDiskSystem::refuses(FakeOp op, char letter) {
    const uint32_t n = ++counts_[op];
    for (const FakeRefusal& r : refuse_) {
        if (r.op == op && (r.nth == 0 || r.nth == n) && (r.letter == 0 || r.letter == letter)) {
            return true;
        }
    }
    return false;
}

Outcome FakeDiskSystem::query_target(const char16_t*, TargetInfo* info) {
    if (refuses(FakeOp::query_target)) {
        return kRefused;
    }
    *info = target;
    return Outcome::success();
}

Outcome FakeDiskSystem::open_disk(const char16_t*, uint32_t, DiskUse,
                                  std::unique_ptr<DiskDevice>* device) {
    if (refuses(FakeOp::open_disk)) {
        log_.calls.push_back("open_disk refused");
        return kRefused;
    }
    log_.calls.push_back("open_disk");
    *device = std::make_unique<FakeDisk>(*this);
    return Outcome::success();
}

Outcome FakeDiskSystem::open_in_use(FakeVolume& volume, const std::string& call) {
    --volume.busy_opens;
    log_.calls.push_back(call + " in use");
    Outcome busy = Outcome::failure(
        "The process cannot access the file because it is being used by another process");
    busy.in_use = true;
    return busy;
}

Outcome FakeDiskSystem::open_volume(char letter, std::unique_ptr<VolumeHandle>* volume) {
    const std::string call = std::string("open_volume ") + letter;
    if (refuses(FakeOp::open_volume, letter)) {
        log_.calls.push_back(call + " refused");
        return kRefused;
    }
    FakeVolume* known = nullptr;
    for (FakeVolume& v : volumes) {
        if (v.letter == letter) {
            known = &v;
        }
    }
    if (known != nullptr && known->busy_opens > 0) {
        return open_in_use(*known, call);
    }
    log_.calls.push_back(call);
    *volume = std::make_unique<FakeVolumeHandle>(*this, std::string(1, letter), letter, known);
    return Outcome::success();
}

Outcome FakeDiskSystem::open_volume_path(const char16_t* path,
                                         std::unique_ptr<VolumeHandle>* volume) {
    const std::string name = utf16_for_display(path);
    for (FakeVolume& v : volumes) {
        if (v.path == path) {
            if (refuses(FakeOp::open_volume)) {
                log_.calls.push_back("open_volume " + name + " refused");
                return kRefused;
            }
            if (v.busy_opens > 0) {
                return open_in_use(v, "open_volume " + name);
            }
            log_.calls.push_back("open_volume " + name);
            *volume = std::make_unique<FakeVolumeHandle>(*this, name, '\0', &v);
            return Outcome::success();
        }
    }
    log_.calls.push_back("open_volume " + name + " missing");
    return Outcome::failure("The system cannot find the file specified");
}

Outcome FakeDiskSystem::volume_path_of_letter(char letter, std::u16string* path) {
    log_.calls.push_back(std::string("volume_path ") + letter);
    for (const FakeVolume& v : volumes) {
        if (v.letter == letter && !v.unknown_by_letter) {
            *path = v.path;
            return Outcome::success();
        }
    }
    return Outcome::failure("The system cannot find the file specified");
}

Outcome FakeDiskSystem::letters_of_volume(const char16_t* path, uint32_t* letters) {
    log_.calls.push_back("letters_of " + path_for_display(path));
    *letters = 0;
    for (const FakeVolume& v : volumes) {
        if ((v.path == path || v.listed_as == path) && v.letter != 0) {
            *letters |= 1u << (v.letter - 'A');
        }
    }
    return Outcome::success();
}

Outcome FakeDiskSystem::volumes_on_disk(const char16_t*, std::vector<std::u16string>* paths) {
    if (refuses(FakeOp::list_volumes)) {
        log_.calls.push_back("list_volumes refused");
        return kRefused;
    }
    log_.calls.push_back("list_volumes");
    paths->clear();
    for (const FakeVolume& v : volumes) {
        paths->push_back(v.listed_as.empty() ? v.path : v.listed_as);
    }
    return Outcome::success();
}

void FakeDiskSystem::notify_drive_removed(char letter) {
    log_.calls.push_back(std::string("notify ") + letter);
}

Outcome FakeDiskSystem::make_guid(Guid* guid) {
    if (refuses(FakeOp::make_guid)) {
        return Outcome::failure("no new GUID could be made (refused by the test)");
    }
    *guid = Guid{};
    guid->bytes[0] = next_guid_++;
    return Outcome::success();
}

void FakeDiskSystem::pause(uint32_t milliseconds) {
    log_.calls.push_back("pause " + std::to_string(milliseconds));
}

}  // namespace lintora
