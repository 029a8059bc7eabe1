// Appending lines to the log file, holding them back while it cannot be opened, and
// moving it to its ".bak" backup at the size limit. The file is opened per line and
// shared with every other writer.
#include "debug_log.h"

#include "log_limits.h"
#include "log_line.h"
#include "log_redirection.h"

#include <platform/win32_raii.h>

#include <memory>

namespace ssolog {

namespace {

struct FileCloser {
    void operator()(FILE* file) const { fclose(file); }
};
using UniqueFile = std::unique_ptr<FILE, FileCloser>;

}  // namespace

std::wstring DebugLog::LogPath() const { return directory + L"\\" + fileName; }

bool DebugLog::AppendToFile(const std::string* line) {
    const std::wstring path = LogPath();
    // Text mode: each "\n" reaches the file as CR LF.
    UniqueFile file(_wfsopen(path.c_str(), L"a", _SH_DENYNO));
    if (!file) return false;
    // A file that is not the folder's own is closed unwritten, as if it had not opened.
    const HANDLE handle = UninheritedHandleOf(file.get());
    if (handle == nullptr || !IsOwnFile(handle, path.c_str())) return false;
    {
        // Append mode seeks to the end and then writes, so two processes could write at
        // the same offset; holding the writers' lock around the write keeps lines whole.
        // Unlocked after the flush and before the close.
        platform::FileRangeLock writers(kWritersLockOffset, kWritersLockLength);
        WaitForWriters(handle, writers);
        for (const std::string& held : pending) fputs(held.c_str(), file.get());
        pending.clear();
        if (line != nullptr) fputs(line->c_str(), file.get());
        fflush(file.get());
    }
    file.reset();
    RotateIfTooLarge(path.c_str());
    return true;
}

// The library runs on its host's logon path and must not hang there: a writer that
// holds the lock too long (stuck, or worse) costs each line at most kWritersLockWaitMs,
// and once a wait has timed out, lines of the next kWritersLockBackOffMs make one
// attempt only, so a stuck process costs its neighbours one wait, not one per line.
// A process that dies loses its lock to the system.
void DebugLog::WaitForWriters(HANDLE file, platform::FileRangeLock& writers) {
    const DWORD start = timeGetTime();
    const bool mayWait =
        !writersWaitTimedOut || start - writersWaitTimedOutAt >= kWritersLockBackOffMs;
    for (unsigned retries = 0; !writers.TryLock(file); ++retries) {
        // Any other failure: the line goes out without the lock.
        if (GetLastError() != ERROR_LOCK_VIOLATION || !mayWait) return;
        if (timeGetTime() - start >= kWritersLockWaitMs) {
            writersWaitTimedOut = true;
            writersWaitTimedOutAt = timeGetTime();
            return;
        }
        // A holder keeps the lock for one write and flush, so a collision normally ends
        // within a few yields; a pause (a whole timer tick on Windows) only comes after them.
        if (retries < kWritersLockYields)
            SwitchToThread();
        else
            Sleep(kWritersLockRetryMs);
    }
    // Had: whoever was stuck has let go, so the next line may wait again.
    writersWaitTimedOut = false;
}

void DebugLog::WriteLine(const wchar_t* text, const wchar_t* detail) {
    RefreshConfig();
    if (!IsEnabled()) return;
    try {
        // Built outside the lock, so the time stamp is taken before waiting for it.
        const std::string line = FormatLine(text, detail);
        platform::CriticalSectionGuard guard(lock);
        if (!AppendToFile(&line)) QueuePending(line.c_str());
    } catch (...) {
        // Out of memory: this line is dropped.
    }
}

void DebugLog::FlushPending() {
    try {
        platform::CriticalSectionGuard guard(lock);
        if (pending.empty()) return;
        // Last attempt: when the file does not open the lines go with the object.
        AppendToFile(nullptr);
    } catch (...) {
        // Out of memory while composing the path: the lines go with the object.
    }
}

void DebugLog::RotateIfTooLarge(const wchar_t* path) {
    if (path == nullptr) return;
    const __time64_t now = _time64(nullptr);
    platform::CriticalSectionGuard guard(lock);
    // Counted before the check, so a failed check also waits for the next period.
    if (now < lastSizeCheck + kSizeCheckSeconds) return;
    lastSizeCheck = now;

    LARGE_INTEGER size = {};
    {
        // Read sharing only: skipped while another process is writing the file.
        platform::UniqueHandle file(CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr,
                                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file.Valid() || !GetFileSizeEx(file.Get(), &size)) return;
        if (size.QuadPart < static_cast<LONGLONG>(maxFileSize)) return;
        // The rename goes by name: the name must still lead to the folder's own file.
        if (!IsOwnFile(file.Get(), path)) return;
    }
    try {
        // One backup generation: an older ".bak" is replaced.
        const std::wstring backup = std::wstring(path) + L".bak";
        MoveFileExW(path, backup.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
    } catch (...) {
        // Out of memory: the next check may move it.
    }
}

}  // namespace ssolog
