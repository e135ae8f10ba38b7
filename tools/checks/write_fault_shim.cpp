// A preloaded library that makes a process's positioned reads and writes fail, or lose a write,
// the way a damaged disk or a faulty USB bridge does; for the end-to-end checks of a full format
// and of the read-back.
//   LINTORA_FAULT_BAD=FIRST:END  every pread and pwrite that touches bytes [FIRST, END) fails
//   LINTORA_FAULT_ERRNO=N        ... with errno N (default EIO; ENODEV: a device that went away)
//   LINTORA_FAULT_DROP=OFFSET    every pwrite that starts at OFFSET reports success and writes
//                                nothing
//   LINTORA_FAULT_FLUSH_FROM=N   the N-th fsync or fdatasync (1-based) and every later one fail
//                                with EIO, as a drive that stops taking its cache's flush does
#include <dlfcn.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>

namespace {

using pwrite_fn = ssize_t (*)(int, const void*, size_t, off_t);
using pread_fn = ssize_t (*)(int, void*, size_t, off_t);
using sync_fn = int (*)(int);

bool configured = false;
uint64_t bad_first = 0, bad_end = 0, drop_at = 0;
bool have_bad = false, have_drop = false;
uint64_t flush_from = 0, flushes = 0;
int fault_errno = EIO;

void configure(void) {
    if (configured) {
        return;
    }
    configured = true;
    const char* bad = std::getenv("LINTORA_FAULT_BAD");
    if (bad != nullptr) {
        char* rest = nullptr;
        bad_first = std::strtoull(bad, &rest, 0);
        if (rest != nullptr && *rest == ':') {
            bad_end = std::strtoull(rest + 1, nullptr, 0);
            have_bad = bad_end > bad_first;
        }
    }
    const char* code = std::getenv("LINTORA_FAULT_ERRNO");
    if (code != nullptr) {
        fault_errno = std::atoi(code);
    }
    const char* flush = std::getenv("LINTORA_FAULT_FLUSH_FROM");
    if (flush != nullptr) {
        flush_from = std::strtoull(flush, nullptr, 0);
    }
    const char* drop = std::getenv("LINTORA_FAULT_DROP");
    if (drop != nullptr) {
        drop_at = std::strtoull(drop, nullptr, 0);
        have_drop = true;
    }
}

bool touches_bad(size_t count, off_t offset) {
    const auto first = static_cast<uint64_t>(offset);
    return have_bad && first < bad_end && bad_first < first + count;
}

ssize_t faulty_pwrite(const char* name, int fd, const void* data, size_t count, off_t offset) {
    configure();
    if (touches_bad(count, offset)) {
        errno = fault_errno;
        return -1;
    }
    if (have_drop && static_cast<uint64_t>(offset) == drop_at) {
        return static_cast<ssize_t>(count);
    }
    auto real = reinterpret_cast<pwrite_fn>(dlsym(RTLD_NEXT, name));
    return real(fd, data, count, offset);
}

ssize_t faulty_pread(const char* name, int fd, void* data, size_t count, off_t offset) {
    configure();
    if (touches_bad(count, offset)) {
        errno = fault_errno;
        return -1;
    }
    auto real = reinterpret_cast<pread_fn>(dlsym(RTLD_NEXT, name));
    return real(fd, data, count, offset);
}

int faulty_sync(const char* name, int fd) {
    configure();
    if (flush_from != 0 && ++flushes >= flush_from) {
        errno = EIO;
        return -1;
    }
    auto real = reinterpret_cast<sync_fn>(dlsym(RTLD_NEXT, name));
    return real(fd);
}

}  // namespace

extern "C" {

ssize_t pwrite(int fd, const void* data, size_t count, off_t offset) {
    return faulty_pwrite("pwrite", fd, data, count, offset);
}
ssize_t pwrite64(int fd, const void* data, size_t count, off_t offset) {
    return faulty_pwrite("pwrite64", fd, data, count, offset);
}
ssize_t pread(int fd, void* data, size_t count, off_t offset) {
    return faulty_pread("pread", fd, data, count, offset);
}
ssize_t pread64(int fd, void* data, size_t count, off_t offset) {
    return faulty_pread("pread64", fd, data, count, offset);
}
int fsync(int fd) {
    return faulty_sync("fsync", fd);
}
int fdatasync(int fd) {
    return faulty_sync("fdatasync", fd);
}

}  // extern "C"
