// Raw disks on Windows: CreateFileW handles, positioned WriteFile, and the storage and volume
// control codes. The layout and re-initialisation records go to the system unchanged.
#include <objbase.h>
#include <shlobj.h>
#include <windows.h>
#include <winioctl.h>

#include <cstddef>
#include <cstring>
#include <string>

#include "platform/raw_disk.h"

namespace lintora {

// The byte forms built by drive_layout.cpp are the system's own structures.
static_assert(sizeof(CREATE_DISK) == kCreateDiskBytes);
static_assert(sizeof(PARTITION_INFORMATION_EX) == kLayoutEntryBytes);
static_assert(offsetof(DRIVE_LAYOUT_INFORMATION_EX, PartitionEntry) == kLayoutHeaderBytes);
static_assert(offsetof(PARTITION_INFORMATION_EX, StartingOffset) == 8);
static_assert(offsetof(PARTITION_INFORMATION_EX, Mbr) == 32);
static_assert(offsetof(PARTITION_INFORMATION_EX, Gpt) + offsetof(PARTITION_INFORMATION_GPT, Name) ==
              72);
static_assert(offsetof(DRIVE_LAYOUT_INFORMATION_EX, Gpt) +
                  offsetof(DRIVE_LAYOUT_INFORMATION_GPT, MaxPartitionCount) ==
              40);

namespace {

class Win32Disk final : public DiskDevice {
  public:
    explicit Win32Disk(HANDLE handle) : handle_(handle) {}
    ~Win32Disk() override { CloseHandle(handle_); }

    bool write_at(uint64_t offset, const uint8_t* data, uint32_t length) override {
        LARGE_INTEGER position;
        position.QuadPart = static_cast<LONGLONG>(offset);
        if (!SetFilePointerEx(handle_, position, nullptr, FILE_BEGIN)) {
            return false;
        }
        DWORD written = 0;
        return WriteFile(handle_, data, length, &written, nullptr) && written == length;
    }

    bool flush() override { return FlushFileBuffers(handle_) != FALSE; }
    bool lock_volume() override { return control(FSCTL_LOCK_VOLUME, nullptr, 0); }
    bool dismount_volume() override { return control(FSCTL_DISMOUNT_VOLUME, nullptr, 0); }

    bool create_disk(const CreateDiskRecord& record) override {
        uint8_t bytes[kCreateDiskBytes];
        encode_create_disk(record, bytes);
        return control(IOCTL_DISK_CREATE_DISK, bytes, sizeof bytes);
    }

    bool update_properties() override { return control(IOCTL_DISK_UPDATE_PROPERTIES, nullptr, 0); }

    bool set_drive_layout(const uint8_t* layout, uint32_t size) override {
        return control(IOCTL_DISK_SET_DRIVE_LAYOUT_EX, const_cast<uint8_t*>(layout), size);
    }

  private:
    bool control(DWORD code, void* input, DWORD input_size) {
        DWORD returned = 0;
        return DeviceIoControl(handle_, code, input, input_size, nullptr, 0, &returned, nullptr) !=
               FALSE;
    }

    HANDLE handle_;
};

std::unique_ptr<DiskDevice> open_path(const wchar_t* path) {
    HANDLE handle =
        CreateFileW(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                    OPEN_EXISTING, 0, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return nullptr;
    }
    return std::make_unique<Win32Disk>(handle);
}

class Win32DiskSystem final : public DiskSystem {
  public:
    std::unique_ptr<DiskDevice> open_disk(const char16_t* path) override {
        return open_path(reinterpret_cast<const wchar_t*>(path));
    }

    std::unique_ptr<DiskDevice> open_volume(char letter) override {
        const wchar_t path[] = {L'\\', L'\\', L'.', L'\\', static_cast<wchar_t>(letter), L':', 0};
        return open_path(path);
    }

    void notify_drive_removed(char letter) override {
        const wchar_t root[] = {static_cast<wchar_t>(letter), L':', L'\\', 0};
        SHChangeNotify(SHCNE_MEDIAREMOVED, SHCNF_PATHW, root, nullptr);
        SHChangeNotify(SHCNE_DRIVEREMOVED, SHCNF_PATHW, root, nullptr);
    }

    Guid make_guid() override {
        GUID value{};
        CoCreateGuid(&value);
        Guid guid;
        std::memcpy(guid.bytes, &value, sizeof guid.bytes);
        return guid;
    }
};

}  // namespace

uint64_t disk_size_bytes(const char16_t* path) {
    HANDLE handle =
        CreateFileW(reinterpret_cast<const wchar_t*>(path), GENERIC_READ,
                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return 0;
    }
    // A disk device answers the length query; an image file has a file size.
    GET_LENGTH_INFORMATION length{};
    DWORD returned = 0;
    LARGE_INTEGER size{};
    uint64_t bytes = 0;
    if (DeviceIoControl(handle, IOCTL_DISK_GET_LENGTH_INFO, nullptr, 0, &length, sizeof length,
                        &returned, nullptr)) {
        bytes = static_cast<uint64_t>(length.Length.QuadPart);
    } else if (GetFileSizeEx(handle, &size)) {
        bytes = static_cast<uint64_t>(size.QuadPart);
    }
    CloseHandle(handle);
    return bytes;
}

std::unique_ptr<DiskSystem> make_system_disks(uint32_t) {
    return std::make_unique<Win32DiskSystem>();
}

}  // namespace lintora
