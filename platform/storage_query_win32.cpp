// Storage queries on Windows: DeviceIoControl on handles opened for queries (volumes) or for
// reading (disks), shared for reading and writing.
#include <windows.h>
#include <winioctl.h>

#include <cstring>
#include <memory>
#include <new>

#include "platform/storage_query.h"

namespace lintora {

namespace {

constexpr DWORD kDescriptorBuffer = 4096;
constexpr DWORD kAdapterDescriptorBytes = 32;

class Win32StorageDevice final : public StorageDevice {
  public:
    explicit Win32StorageDevice(HANDLE handle) : handle_(handle) {}
    ~Win32StorageDevice() override { CloseHandle(handle_); }

    bool device_descriptor(uint32_t* bus_type, bool* removable_media) override {
        std::unique_ptr<uint8_t[]> buffer(new (std::nothrow) uint8_t[kDescriptorBuffer]());
        if (!buffer) {
            return false;
        }
        STORAGE_PROPERTY_QUERY query{};
        query.PropertyId = StorageDeviceProperty;
        query.QueryType = PropertyStandardQuery;
        std::memcpy(buffer.get(), &query, sizeof query);
        if (!control(IOCTL_STORAGE_QUERY_PROPERTY, buffer.get(), kDescriptorBuffer, buffer.get(),
                     kDescriptorBuffer)) {
            return false;
        }
        STORAGE_DEVICE_DESCRIPTOR descriptor{};
        std::memcpy(&descriptor, buffer.get(), sizeof descriptor);
        *bus_type = static_cast<uint32_t>(descriptor.BusType);
        *removable_media = descriptor.RemovableMedia != 0;
        return true;
    }

    bool max_transfer_length(uint32_t* bytes) override {
        STORAGE_PROPERTY_QUERY query{};
        query.PropertyId = StorageAdapterProperty;
        query.QueryType = PropertyStandardQuery;
        uint8_t out[kAdapterDescriptorBytes] = {};
        static_assert(offsetof(STORAGE_ADAPTER_DESCRIPTOR, MaximumTransferLength) + 4 <=
                      kAdapterDescriptorBytes);
        if (!control(IOCTL_STORAGE_QUERY_PROPERTY, &query, 12, out, sizeof out)) {
            return false;
        }
        std::memcpy(bytes, out + offsetof(STORAGE_ADAPTER_DESCRIPTOR, MaximumTransferLength), 4);
        return true;
    }

    bool device_number(StorageDeviceNumber* number) override {
        STORAGE_DEVICE_NUMBER answer{};
        if (!control(IOCTL_STORAGE_GET_DEVICE_NUMBER, &answer, sizeof answer, &answer,
                     sizeof answer)) {
            return false;
        }
        number->device_type = answer.DeviceType;
        number->device_number = answer.DeviceNumber;
        number->partition_number = answer.PartitionNumber;
        return true;
    }

    bool length_bytes(uint64_t* bytes) override {
        GET_LENGTH_INFORMATION length{};
        if (!control(IOCTL_DISK_GET_LENGTH_INFO, nullptr, 0, &length, sizeof length)) {
            return false;
        }
        *bytes = static_cast<uint64_t>(length.Length.QuadPart);
        return true;
    }

    bool bytes_per_sector(uint32_t* bytes) override {
        DISK_GEOMETRY geometry{};
        if (!control(IOCTL_DISK_GET_DRIVE_GEOMETRY, nullptr, 0, &geometry, sizeof geometry)) {
            return false;
        }
        *bytes = geometry.BytesPerSector;
        return true;
    }

  private:
    bool control(DWORD code, void* in, DWORD in_size, void* out, DWORD out_size) {
        DWORD returned = 0;
        return DeviceIoControl(handle_, code, in, in_size, out, out_size, &returned, nullptr) !=
               FALSE;
    }

    HANDLE handle_;
};

std::unique_ptr<StorageDevice> open_device(const wchar_t* path, DWORD access) {
    HANDLE handle = CreateFileW(path, access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return nullptr;
    }
    return std::make_unique<Win32StorageDevice>(handle);
}

class Win32Storage final : public StorageSystem {
  public:
    uint32_t present_drive_letters() override { return GetLogicalDrives() & 0x03FFFFFFu; }

    std::unique_ptr<StorageDevice> open_volume(char letter) override {
        const wchar_t path[] = {L'\\', L'\\', L'.', L'\\', static_cast<wchar_t>(letter), L':', 0};
        return open_device(path, 0);
    }

    std::unique_ptr<StorageDevice> open_disk(const char16_t* path) override {
        if (path[0] == 0) {
            return nullptr;
        }
        return open_device(reinterpret_cast<const wchar_t*>(path), GENERIC_READ);
    }
};

}  // namespace

std::unique_ptr<StorageSystem> make_system_storage() {
    return std::make_unique<Win32Storage>();
}

}  // namespace lintora
