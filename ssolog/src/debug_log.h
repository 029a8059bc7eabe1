// One diagnostic log file. The logger formats a line, appends it, holds lines back
// while the file cannot be opened and moves the file to its ".bak" backup at the size
// limit. Switch, directory and size limit follow the registry (log_config.cpp).
#pragma once

#include <platform/win32_raii.h>

#include <list>
#include <string>

namespace ssolog {

class DebugLog {
public:
    // A null file name selects "kwarden.log".
    explicit DebugLog(const wchar_t* fileName);
    // Writes out the lines still held back.
    virtual ~DebugLog();
    DebugLog(const DebugLog&) = delete;
    DebugLog& operator=(const DebugLog&) = delete;

    // Re-reads the registry when due: every 10 s while on, every 2 s while off.
    void RefreshConfig();
    // Both texts may be null. Never throws.
    void WriteLine(const wchar_t* text, const wchar_t* detail);
    void FlushPending();
    // Called with `lock` held; keeps at most the newest 100 lines.
    void QueuePending(const char* line);
    void RotateIfTooLarge(const wchar_t* path);
    // The switch, read under `lock`.
    bool IsEnabled();

private:
    std::wstring LogPath() const;
    // Appends every held-back line and then `line` (if any) to the log file; false
    // when the file did not open. Called with `lock` held.
    bool AppendToFile(const std::string* line);
    // Takes the other writers' lock on the open log file's handle, waiting a bounded time;
    // the line is written whether or not it was had. Called with `lock` held.
    void WaitForWriters(HANDLE file, platform::FileRangeLock& writers);

    CRITICAL_SECTION lock;
    std::wstring directory;
    std::wstring fileName;
    DWORD maxFileSize;
    __time64_t lastConfigRead;
    __time64_t lastSizeCheck;
    bool enabled;
    std::list<std::string> pending;
    // When the last wait for the writers' lock timed out (timeGetTime), if one did.
    bool writersWaitTimedOut;
    DWORD writersWaitTimedOutAt;
};

}  // namespace ssolog
