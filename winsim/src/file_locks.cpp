// Byte-range locks (LockFileEx, UnlockFileEx) and the CRT's way from a stream to its
// handle. Locks belong to an open, as on Windows to a handle, and are mirrored as
// open-file-description locks on the host file: processes sharing a file root exclude
// each other as Windows processes do, and a process that dies loses its locks.
#include "machine_state.h"

#include <fcntl.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <limits>

using namespace winsim;
using namespace winsim::detail;

namespace {

bool Overlap(const FileLock& a, const FileLock& b) {
    return a.offset < b.offset + b.length && b.offset < a.offset + a.length;
}

// An exclusive lock may overlap no other lock, not even one of the same handle; shared
// locks may overlap each other.
bool ConflictsLocked(const FileOpen& wanting, const FileLock& wanted) {
    for (auto& [id, open] : State().opens) {
        if (open.hostPath != wanting.hostPath) continue;
        for (const FileLock& held : open.locks) {
            if (Overlap(held, wanted) && (held.exclusive || wanted.exclusive)) return true;
        }
    }
    return false;
}

// Sets (or clears) the host lock of a range, a write lock for an exclusive range and a
// read lock for a shared one; false only when another process holds a conflicting one.
// What the host cannot express stays in this process: a lock type the descriptor's
// access does not allow (a write lock needs write access), an empty range, one past 2^63.
bool HostLock(int fd, const FileLock& range, bool set) {
    constexpr auto kHostMax = static_cast<uint64_t>(std::numeric_limits<off_t>::max());
    if (range.length == 0 || range.offset > kHostMax - range.length) return true;
    struct flock lock {};
    lock.l_type = static_cast<short>(!set ? F_UNLCK : range.exclusive ? F_WRLCK : F_RDLCK);
    lock.l_whence = SEEK_SET;
    lock.l_start = static_cast<off_t>(range.offset);
    lock.l_len = static_cast<off_t>(range.length);
    return ::fcntl(fd, F_OFD_SETLK, &lock) == 0 || (errno != EAGAIN && errno != EACCES);
}

uint64_t Offset(const OVERLAPPED& overlapped) {
    return (uint64_t{overlapped.OffsetHigh} << 32) | overlapped.Offset;
}

}  // namespace

FileOpen* winsim::detail::OpenOfLocked(HANDLE file) {
    Machine& m = State();
    auto handle = m.handles.find(file);
    if (handle != m.handles.end()) {
        if (handle->second.kind != HandleKind::File) return nullptr;
        auto open = m.opens.find(handle->second.openId);
        return open != m.opens.end() ? &open->second : nullptr;
    }
    for (auto& [id, open] : m.opens) {
        if (open.stream && open.osHandle == file) return &open;
    }
    return nullptr;
}

extern "C" BOOL LockFileEx(HANDLE file, DWORD flags, DWORD, DWORD bytesLow, DWORD bytesHigh,
                           LPOVERLAPPED overlapped) {
    if (auto fault = Enter("LockFileEx")) return Fail(*fault, FALSE);
    if (overlapped == nullptr) return Fail(ERROR_INVALID_PARAMETER, FALSE);
    const FileLock wanted{Offset(*overlapped), (uint64_t{bytesHigh} << 32) | bytesLow,
                          (flags & LOCKFILE_EXCLUSIVE_LOCK) != 0};
    // A waiting lock polls: the holder may be another thread or another process, and the
    // machine lock must not be held meanwhile.
    for (;;) {
        {
            Guard guard = Lock();
            FileOpen* open = OpenOfLocked(file);
            if (open == nullptr) return Fail(ERROR_INVALID_HANDLE, FALSE);
            if (!ConflictsLocked(*open, wanted) && HostLock(open->fd, wanted, true)) {
                open->locks.push_back(wanted);
                ++State().fileLocks;
                return TRUE;
            }
            if (flags & LOCKFILE_FAIL_IMMEDIATELY) return Fail(ERROR_LOCK_VIOLATION, FALSE);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

extern "C" BOOL UnlockFileEx(HANDLE file, DWORD, DWORD bytesLow, DWORD bytesHigh,
                             LPOVERLAPPED overlapped) {
    Enter("UnlockFileEx");  // cannot fail for a range the handle has locked
    if (overlapped == nullptr) return Fail(ERROR_INVALID_PARAMETER, FALSE);
    Guard guard = Lock();
    FileOpen* open = OpenOfLocked(file);
    if (open == nullptr) {
        RecordMisuse("UnlockFileEx of a handle that is not open");
        return Fail(ERROR_INVALID_HANDLE, FALSE);
    }
    // Only a range exactly as it was locked can be unlocked.
    const uint64_t offset = Offset(*overlapped);
    const uint64_t length = (uint64_t{bytesHigh} << 32) | bytesLow;
    auto found = std::find_if(open->locks.begin(), open->locks.end(), [&](const FileLock& held) {
        return held.offset == offset && held.length == length;
    });
    if (found == open->locks.end()) return Fail(ERROR_NOT_LOCKED, FALSE);
    const FileLock gone = *found;
    open->locks.erase(found);
    --State().fileLocks;
    HostLock(open->fd, gone, false);
    // The host merged overlapping shared locks of this open into one; restore the rest.
    for (const FileLock& kept : open->locks) {
        if (Overlap(kept, gone)) HostLock(open->fd, kept, true);
    }
    return TRUE;
}

// Not logged: it only reads the stream, like GetLastError.
extern "C" int _fileno(FILE* stream) {
    Guard guard = Lock();
    for (auto& [id, open] : State().opens) {
        if (open.stream && open.file == stream) return open.fd;
    }
    errno = EINVAL;
    return -1;
}

extern "C" intptr_t _get_osfhandle(int fd) {
    if (auto fault = Enter("_get_osfhandle")) {
        errno = EBADF;
        return Fail(*fault, static_cast<intptr_t>(-1));
    }
    Guard guard = Lock();
    for (auto& [id, open] : State().opens) {
        if (open.stream && open.fd == fd) return reinterpret_cast<intptr_t>(open.osHandle);
    }
    errno = EBADF;
    return static_cast<intptr_t>(-1);
}
