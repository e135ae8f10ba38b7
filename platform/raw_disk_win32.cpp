// Raw disks on Windows: CreateFileW handles, positioned WriteFile, and the storage and volume
// control codes. The layout and re-initialisation records go to the system unchanged.
#include <objbase.h>
#include <shlobj.h>
#include <windows.h>
#include <winioctl.h>

#include <cstddef>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <cwctype>
#include <string>

#include "platform/encoding/mount_points.h"
#include "platform/raw_disk.h"
#include "platform/short_write.h"
#include "platform/table_writing_disk.h"

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
static_assert(static_cast<uint32_t>(LayoutStyle::mbr) == PARTITION_STYLE_MBR);
static_assert(static_cast<uint32_t>(LayoutStyle::gpt) == PARTITION_STYLE_GPT);

namespace {

Outcome answer(BOOL succeeded) {
    return succeeded ? Outcome::success() : last_system_failure();
}

// A control request with no output; the system's error stays readable after it.
Outcome control(HANDLE handle, DWORD code, void* input, DWORD input_size) {
    DWORD returned = 0;
    const BOOL done =
        DeviceIoControl(handle, code, input, input_size, nullptr, 0, &returned, nullptr);
    const DWORD error = GetLastError();
    Outcome outcome = answer(done);
    SetLastError(error);  // for the caller's look at the code
    return outcome;
}

// Reads `length` bytes at `offset` through `handle`, by way of a page-aligned buffer whose ends
// are rounded out to `align` bytes: an unbuffered handle (a raw disk, an image opened without
// buffering) takes only aligned requests.
Outcome read_aligned(HANDLE handle, uint32_t align, uint64_t offset, uint8_t* data,
                     uint32_t length) {
    const uint64_t start = offset / align * align;
    const uint64_t end = (offset + length + align - 1) / align * align;
    const auto span = static_cast<SIZE_T>(end - start);
    void* buffer = VirtualAlloc(nullptr, span, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    if (buffer == nullptr) {
        return last_system_failure();
    }
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(start);
    at.OffsetHigh = static_cast<DWORD>(start >> 32);
    DWORD got = 0;
    Outcome read = answer(ReadFile(handle, buffer, static_cast<DWORD>(span), &got, &at));
    if (read.ok() && start + got < offset + length) {
        read = Outcome::failure("the target ends before byte " + std::to_string(offset + length));
    }
    if (read.ok()) {
        std::memcpy(data, static_cast<uint8_t*>(buffer) + (offset - start), length);
    }
    VirtualFree(buffer, 0, MEM_RELEASE);
    return read;
}

class Win32Disk final : public DiskDevice {
  public:
    // `image_path`: the path of an image file, which the system caches; it is read back through
    // a second handle opened without buffering. Empty for a disk, whose handle is not cached.
    Win32Disk(HANDLE handle, uint32_t sector_size, std::wstring image_path)
        : handle_(handle), sector_size_(sector_size), image_path_(std::move(image_path)) {}
    ~Win32Disk() override {
        if (read_handle_ != INVALID_HANDLE_VALUE) {
            CloseHandle(read_handle_);
        }
        CloseHandle(handle_);
    }

    Outcome write_at(uint64_t offset, const uint8_t* data, uint32_t length) override {
        LARGE_INTEGER position;
        position.QuadPart = static_cast<LONGLONG>(offset);
        if (!SetFilePointerEx(handle_, position, nullptr, FILE_BEGIN)) {
            return last_system_failure();
        }
        DWORD written = 0;
        if (!WriteFile(handle_, data, length, &written, nullptr)) {
            return last_system_failure();
        }
        if (written == length) {
            return Outcome::success();
        }
        // Some USB bridges report a short write on large disks for data they did write: what
        // the disk holds decides.
        return settle_short_write(*this, offset, data, length, written);
    }

    Outcome read_at(uint64_t offset, uint8_t* data, uint32_t length) override {
        if (image_path_.empty()) {
            return read_aligned(handle_, sector_size_, offset, data, length);
        }
        if (read_handle_ == INVALID_HANDLE_VALUE) {
            read_handle_ =
                CreateFileW(image_path_.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                            nullptr, OPEN_EXISTING, FILE_FLAG_NO_BUFFERING, nullptr);
            if (read_handle_ == INVALID_HANDLE_VALUE) {
                return last_system_failure();
            }
        }
        return read_aligned(read_handle_, kImageReadAlign, offset, data, length);
    }

    Outcome flush() override { return answer(FlushFileBuffers(handle_)); }
    // A disk's handle is not cached, and an image is read back without buffering.
    Outcome forget_cached() override { return Outcome::success(); }

    Outcome create_disk(const CreateDiskRecord& record) override {
        uint8_t bytes[kCreateDiskBytes];
        encode_create_disk(record, bytes);
        return control(handle_, IOCTL_DISK_CREATE_DISK, bytes, sizeof bytes);
    }

    Outcome update_properties() override {
        return control(handle_, IOCTL_DISK_UPDATE_PROPERTIES, nullptr, 0);
    }

    Outcome set_drive_layout(const uint8_t* layout, uint32_t size) override {
        return control(handle_, IOCTL_DISK_SET_DRIVE_LAYOUT_EX, const_cast<uint8_t*>(layout), size);
    }

  private:
    // A multiple of every sector size a volume that holds an image can have.
    static constexpr uint32_t kImageReadAlign = 4096;

    HANDLE handle_;
    uint32_t sector_size_;
    std::wstring image_path_;
    HANDLE read_handle_ = INVALID_HANDLE_VALUE;
};

class Win32Volume final : public VolumeHandle {
  public:
    explicit Win32Volume(HANDLE handle) : handle_(handle) {}
    ~Win32Volume() override { CloseHandle(handle_); }

    // Access denied is the answer while other handles are open on the volume.
    Outcome lock_volume() override {
        Outcome locked = control(handle_, FSCTL_LOCK_VOLUME, nullptr, 0);
        if (!locked.ok() && GetLastError() == ERROR_ACCESS_DENIED) {
            locked.in_use = true;
        }
        return locked;
    }
    Outcome dismount_volume() override {
        return control(handle_, FSCTL_DISMOUNT_VOLUME, nullptr, 0);
    }

  private:
    HANDLE handle_;
};

// Folders, pipes and consoles are not disks; they are refused before anything opens them for
// writing.
Outcome refuse_by_type(const wchar_t* path) {
    const DWORD attributes = GetFileAttributesW(path);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return Outcome::failure("it is a folder");
    }
    return Outcome::success();
}

Outcome open_path(const wchar_t* path, DWORD access, HANDLE* handle) {
    *handle = CreateFileW(path, access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                          0, nullptr);
    if (*handle == INVALID_HANDLE_VALUE) {
        return last_system_failure();
    }
    if (GetFileType(*handle) != FILE_TYPE_DISK) {
        CloseHandle(*handle);
        *handle = INVALID_HANDLE_VALUE;
        return Outcome::failure("it is neither a file nor a disk");
    }
    return Outcome::success();
}

// A disk device answers the length and geometry queries; an image file has a file size.
Outcome describe(HANDLE handle, TargetInfo* info) {
    TargetInfo found;
    GET_LENGTH_INFORMATION length{};
    DISK_GEOMETRY geometry{};
    DWORD returned = 0;
    LARGE_INTEGER size{};
    if (DeviceIoControl(handle, IOCTL_DISK_GET_LENGTH_INFO, nullptr, 0, &length, sizeof length,
                        &returned, nullptr)) {
        found.kind = TargetKind::block_device;
        found.size_bytes = static_cast<uint64_t>(length.Length.QuadPart);
        if (!DeviceIoControl(handle, IOCTL_DISK_GET_DRIVE_GEOMETRY, nullptr, 0, &geometry,
                             sizeof geometry, &returned, nullptr)) {
            return last_system_failure();
        }
        found.logical_sector_size = geometry.BytesPerSector;
    } else if (GetFileSizeEx(handle, &size)) {
        found.size_bytes = static_cast<uint64_t>(size.QuadPart);
    } else {
        return last_system_failure();
    }
    *info = found;
    return Outcome::success();
}

class Win32DiskSystem final : public DiskSystem {
  public:
    Outcome query_target(const char16_t* path, TargetInfo* info) override {
        const auto* wide = reinterpret_cast<const wchar_t*>(path);
        Outcome typed = refuse_by_type(wide);
        if (!typed.ok()) {
            return typed;
        }
        HANDLE handle = INVALID_HANDLE_VALUE;
        Outcome opened = open_path(wide, GENERIC_READ, &handle);
        if (!opened.ok()) {
            return opened;
        }
        Outcome described = describe(handle, info);
        CloseHandle(handle);
        return described;
    }

    Outcome open_disk(const char16_t* path, uint32_t bytes_per_sector, DiskUse,
                      std::unique_ptr<DiskDevice>* device) override {
        const auto* wide = reinterpret_cast<const wchar_t*>(path);
        Outcome typed = refuse_by_type(wide);
        if (!typed.ok()) {
            return typed;
        }
        HANDLE handle = INVALID_HANDLE_VALUE;
        Outcome opened = open_path(wide, GENERIC_READ | GENERIC_WRITE, &handle);
        if (!opened.ok()) {
            return opened;
        }
        TargetInfo info;
        Outcome described = describe(handle, &info);
        if (!described.ok()) {
            CloseHandle(handle);
            return described;
        }
        auto disk = std::make_unique<Win32Disk>(
            handle, bytes_per_sector,
            info.kind == TargetKind::image_file ? std::wstring(wide) : std::wstring());
        if (info.kind == TargetKind::block_device && info.logical_sector_size != bytes_per_sector) {
            return Outcome::failure("the disk has " + std::to_string(info.logical_sector_size) +
                                    "-byte sectors, not " + std::to_string(bytes_per_sector));
        }
        // No partition manager serves an image file (its IOCTL_DISK_CREATE_DISK is "not
        // supported", after the wipe): its tables are written as sectors, as on POSIX.
        if (info.kind == TargetKind::image_file) {
            *device = std::make_unique<TableWritingDisk>(std::move(disk), bytes_per_sector,
                                                         info.size_bytes, false);
        } else {
            *device = std::move(disk);
        }
        return Outcome::success();
    }

    Outcome open_volume(char letter, std::unique_ptr<VolumeHandle>* volume) override {
        const wchar_t path[] = {L'\\', L'\\', L'.', L'\\', static_cast<wchar_t>(letter), L':', 0};
        return open_volume_device(path, volume);
    }

    Outcome open_volume_path(const char16_t* path, std::unique_ptr<VolumeHandle>* volume) override {
        return open_volume_device(reinterpret_cast<const wchar_t*>(path), volume);
    }

    Outcome volume_path_of_letter(char letter, std::u16string* path) override {
        const wchar_t root[] = {static_cast<wchar_t>(letter), L':', L'\\', 0};
        wchar_t name[kVolumeNameUnits] = {};
        if (!GetVolumeNameForVolumeMountPointW(root, name, kVolumeNameUnits)) {
            return last_system_failure();
        }
        *path = device_path_of(name);
        return Outcome::success();
    }

    Outcome letters_of_volume(const char16_t* path, uint32_t* letters) override {
        *letters = 0;
        // The volume's name as the mount manager takes it: the GUID path with its backslash.
        std::wstring name(reinterpret_cast<const wchar_t*>(path));
        if (name.empty() || name.back() != L'\\') {
            name += L'\\';
        }
        wchar_t mounts[1024] = {};
        DWORD length = 0;
        if (!GetVolumePathNamesForVolumeNameW(name.c_str(), mounts, 1024, &length)) {
            return last_system_failure();
        }
        *letters = drive_letters_of_mount_points(reinterpret_cast<const char16_t*>(mounts),
                                                 length < 1024 ? length : 1024);
        return Outcome::success();
    }

    Outcome volumes_on_disk(const char16_t* disk_path,
                            std::vector<std::u16string>* paths) override {
        paths->clear();
        DWORD disk_number = 0;
        if (!device_number_of(reinterpret_cast<const wchar_t*>(disk_path), &disk_number)) {
            return Outcome::success();  // not a disk of the system: an image has no volumes
        }
        wchar_t name[kVolumeNameUnits] = {};
        HANDLE search = FindFirstVolumeW(name, kVolumeNameUnits);
        if (search == INVALID_HANDLE_VALUE) {
            return last_system_failure();
        }
        do {
            const std::u16string path = device_path_of(name);
            if (lies_on_disk(reinterpret_cast<const wchar_t*>(path.c_str()), disk_number)) {
                paths->push_back(path);
            }
        } while (FindNextVolumeW(search, name, kVolumeNameUnits));
        const DWORD ended = GetLastError();
        FindVolumeClose(search);
        if (ended != ERROR_NO_MORE_FILES) {
            SetLastError(ended);
            return last_system_failure();
        }
        return Outcome::success();
    }

    void pause(uint32_t milliseconds) override { Sleep(milliseconds); }

    Outcome room_missing_to_fill(const char16_t* path, uint64_t* missing) override {
        *missing = 0;
        const auto* wide = reinterpret_cast<const wchar_t*>(path);
        HANDLE handle = INVALID_HANDLE_VALUE;
        Outcome opened = open_path(wide, GENERIC_READ, &handle);
        if (!opened.ok()) {
            return opened;
        }
        TargetInfo info;
        Outcome described = describe(handle, &info);
        CloseHandle(handle);
        if (!described.ok() || info.kind != TargetKind::image_file) {
            return described;
        }
        DWORD high = 0;
        const DWORD low = GetCompressedFileSizeW(wide, &high);
        if (low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) {
            return last_system_failure();
        }
        const uint64_t allocated = (uint64_t{high} << 32) | low;
        // The free space of the volume that holds the file, asked of the file's own folder.
        std::wstring folder(wide);
        const size_t slash = folder.find_last_of(L"\\/");
        folder = slash == std::wstring::npos ? std::wstring(L".") : folder.substr(0, slash + 1);
        ULARGE_INTEGER available{};
        if (!GetDiskFreeSpaceExW(folder.c_str(), &available, nullptr, nullptr)) {
            return last_system_failure();
        }
        const uint64_t needed = info.size_bytes > allocated ? info.size_bytes - allocated : 0;
        *missing = needed > available.QuadPart ? needed - available.QuadPart : 0;
        return Outcome::success();
    }

    void notify_drive_removed(char letter) override {
        const wchar_t root[] = {static_cast<wchar_t>(letter), L':', L'\\', 0};
        SHChangeNotify(SHCNE_MEDIAREMOVED, SHCNF_PATHW, root, nullptr);
        SHChangeNotify(SHCNE_DRIVEREMOVED, SHCNF_PATHW, root, nullptr);
    }

    Outcome make_guid(Guid* guid) override {
        GUID value{};
        const HRESULT result = CoCreateGuid(&value);
        if (FAILED(result)) {
            char code[16];
            std::snprintf(code, sizeof code, "0x%08lX", static_cast<unsigned long>(result));
            return Outcome::failure(std::string("no new GUID could be made (CoCreateGuid: ") +
                                    code + ")");
        }
        std::memcpy(guid->bytes, &value, sizeof guid->bytes);
        return Outcome::success();
    }

  private:
    static constexpr DWORD kVolumeNameUnits = 64;

    static Outcome open_volume_device(const wchar_t* path, std::unique_ptr<VolumeHandle>* volume) {
        HANDLE handle =
            CreateFileW(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                        nullptr, OPEN_EXISTING, 0, nullptr);
        if (handle == INVALID_HANDLE_VALUE) {
            // Another program holds the volume open without sharing it for writing: it may let
            // go in a moment, as a lock refused as in use does.
            const bool shared_away = GetLastError() == ERROR_SHARING_VIOLATION;
            Outcome refused = last_system_failure();
            refused.in_use = shared_away;
            return refused;
        }
        *volume = std::make_unique<Win32Volume>(handle);
        return Outcome::success();
    }

    // A volume name "\\?\Volume{...}\" names the root folder; without its last backslash it
    // names the volume device, which is what is opened, locked and compared.
    static std::u16string device_path_of(const wchar_t* name) {
        std::u16string path(reinterpret_cast<const char16_t*>(name));
        if (!path.empty() && path.back() == u'\\') {
            path.pop_back();
        }
        return path;
    }

    static bool device_number_of(const wchar_t* path, DWORD* number) {
        HANDLE handle = CreateFileW(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_EXISTING, 0, nullptr);
        if (handle == INVALID_HANDLE_VALUE) {
            return false;
        }
        STORAGE_DEVICE_NUMBER device{};
        DWORD returned = 0;
        const BOOL done = DeviceIoControl(handle, IOCTL_STORAGE_GET_DEVICE_NUMBER, nullptr, 0,
                                          &device, sizeof device, &returned, nullptr);
        CloseHandle(handle);
        *number = device.DeviceNumber;
        return done != FALSE && device.DeviceType == FILE_DEVICE_DISK;
    }

    // Whether any extent of the volume lies on disk `disk_number`. A volume whose extents cannot
    // be read (a card reader without a card, a CD drive) lies on no disk that can be formatted.
    static bool lies_on_disk(const wchar_t* volume, DWORD disk_number) {
        HANDLE handle = CreateFileW(volume, 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_EXISTING, 0, nullptr);
        if (handle == INVALID_HANDLE_VALUE) {
            return false;
        }
        constexpr DWORD kMostExtents = 64;
        alignas(8)
            uint8_t buffer[sizeof(VOLUME_DISK_EXTENTS) + kMostExtents * sizeof(DISK_EXTENT)] = {};
        DWORD returned = 0;
        const BOOL done = DeviceIoControl(handle, IOCTL_VOLUME_GET_VOLUME_DISK_EXTENTS, nullptr, 0,
                                          buffer, sizeof buffer, &returned, nullptr);
        CloseHandle(handle);
        if (!done) {
            return false;
        }
        DWORD count = 0;
        std::memcpy(&count, buffer + offsetof(VOLUME_DISK_EXTENTS, NumberOfDiskExtents),
                    sizeof count);
        for (DWORD i = 0; i < count && i < kMostExtents; ++i) {
            DISK_EXTENT extent{};
            std::memcpy(&extent,
                        buffer + offsetof(VOLUME_DISK_EXTENTS, Extents) + i * sizeof extent,
                        sizeof extent);
            if (extent.DiskNumber == disk_number) {
                return true;
            }
        }
        return false;
    }
};

}  // namespace

std::unique_ptr<DiskSystem> make_system_disks() {
    return std::make_unique<Win32DiskSystem>();
}

}  // namespace lintora
