// Owners for Win32 resources, so that every path gives them back by construction.
#pragma once

#include <platform/win32.h>

namespace platform {

// Holds a critical section entered for the lifetime of the guard.
class CriticalSectionGuard {
public:
    explicit CriticalSectionGuard(CRITICAL_SECTION& section) : section_(section) {
        EnterCriticalSection(&section_);
    }
    ~CriticalSectionGuard() { LeaveCriticalSection(&section_); }
    CriticalSectionGuard(const CriticalSectionGuard&) = delete;
    CriticalSectionGuard& operator=(const CriticalSectionGuard&) = delete;

private:
    CRITICAL_SECTION& section_;
};

// An open registry key, closed on destruction.
class UniqueKey {
public:
    UniqueKey() = default;
    ~UniqueKey() { Reset(); }
    UniqueKey(const UniqueKey&) = delete;
    UniqueKey& operator=(const UniqueKey&) = delete;
    HKEY* Receive() {
        Reset();
        return &key_;
    }
    HKEY Get() const { return key_; }
    explicit operator bool() const { return key_ != nullptr; }
    void Reset() {
        if (key_ != nullptr) {
            RegCloseKey(key_);
            key_ = nullptr;
        }
    }

private:
    HKEY key_ = nullptr;
};

// A kernel handle, closed on destruction. Null and INVALID_HANDLE_VALUE hold nothing.
class UniqueHandle {
public:
    UniqueHandle() = default;
    explicit UniqueHandle(HANDLE handle) : handle_(handle) {}
    ~UniqueHandle() { Reset(); }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    HANDLE* Receive() {
        Reset();
        return &handle_;
    }
    HANDLE Get() const { return handle_; }
    HANDLE Release() {
        HANDLE handle = handle_;
        handle_ = nullptr;
        return handle;
    }
    bool Valid() const { return handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE; }
    void Reset() {
        if (Valid()) CloseHandle(handle_);
        handle_ = nullptr;
    }

private:
    HANDLE handle_ = nullptr;
};

// An exclusive lock on one byte range of an open file, unlocked when the guard goes.
// Declare it after the owner of the file so that it is unlocked before the close:
// Windows frees the locks of a closed handle only some time later.
class FileRangeLock {
public:
    FileRangeLock(ULONGLONG offset, DWORD length) : offset_(offset), length_(length) {}
    ~FileRangeLock() { Unlock(); }
    FileRangeLock(const FileRangeLock&) = delete;
    FileRangeLock& operator=(const FileRangeLock&) = delete;
    // One attempt that does not wait; false with the last error set, which is
    // ERROR_LOCK_VIOLATION while another handle holds any of the range.
    bool TryLock(HANDLE file) {
        OVERLAPPED at = Position();
        if (!LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, length_, 0,
                        &at)) {
            return false;
        }
        file_ = file;
        return true;
    }
    void Unlock() {
        if (file_ == nullptr) return;
        OVERLAPPED at = Position();
        UnlockFileEx(file_, 0, length_, 0, &at);
        file_ = nullptr;
    }

private:
    OVERLAPPED Position() const {
        OVERLAPPED at = {};
        at.Offset = static_cast<DWORD>(offset_);
        at.OffsetHigh = static_cast<DWORD>(offset_ >> 32);
        return at;
    }

    ULONGLONG offset_;
    DWORD length_;
    HANDLE file_ = nullptr;
};

// A buffer handed out by the Terminal Services API, given back with WTSFreeMemory.
template <class T>
class WtsBuffer {
public:
    WtsBuffer() = default;
    ~WtsBuffer() { Reset(); }
    WtsBuffer(const WtsBuffer&) = delete;
    WtsBuffer& operator=(const WtsBuffer&) = delete;
    T** Receive() {
        Reset();
        return &buffer_;
    }
    T* Get() const { return buffer_; }
    void Reset() {
        if (buffer_ != nullptr) {
            WTSFreeMemory(buffer_);
            buffer_ = nullptr;
        }
    }

private:
    T* buffer_ = nullptr;
};

// A module reference (LoadLibrary, GetModuleHandleEx without UNCHANGED_REFCOUNT),
// given back with FreeLibrary.
class ModuleReference {
public:
    ModuleReference() = default;
    explicit ModuleReference(HMODULE module) : module_(module) {}
    ~ModuleReference() { Reset(); }
    ModuleReference(const ModuleReference&) = delete;
    ModuleReference& operator=(const ModuleReference&) = delete;
    HMODULE* Receive() {
        Reset();
        return &module_;
    }
    HMODULE Get() const { return module_; }
    // Hands the reference to the caller, who gives it back from then on.
    HMODULE Release() {
        HMODULE module = module_;
        module_ = nullptr;
        return module;
    }
    void Reset() {
        if (module_ != nullptr) {
            FreeLibrary(module_);
            module_ = nullptr;
        }
    }

private:
    HMODULE module_ = nullptr;
};

// The calling thread impersonates `token`'s user while the guard lives, when
// ImpersonateLoggedOnUser allows it; RevertToSelf only follows a successful impersonation.
class ImpersonationGuard {
public:
    explicit ImpersonationGuard(HANDLE token)
        : impersonating_(ImpersonateLoggedOnUser(token) != FALSE) {}
    ~ImpersonationGuard() {
        if (impersonating_) RevertToSelf();
    }
    ImpersonationGuard(const ImpersonationGuard&) = delete;
    ImpersonationGuard& operator=(const ImpersonationGuard&) = delete;

private:
    bool impersonating_;
};

// Restores the thread's last error on scope exit: tracing must not change what
// the caller reads from GetLastError().
class LastErrorPreserver {
public:
    LastErrorPreserver() : error_(GetLastError()) {}
    ~LastErrorPreserver() { SetLastError(error_); }
    LastErrorPreserver(const LastErrorPreserver&) = delete;
    LastErrorPreserver& operator=(const LastErrorPreserver&) = delete;

private:
    DWORD error_;
};

}  // namespace platform
