#include "floors.h"

#include <platform/win32_raii.h>

namespace bench {
namespace {

// The records of the extended enumeration, given back with WTSFreeMemoryExW.
class ExtendedRecords {
public:
    ExtendedRecords() = default;
    ExtendedRecords(const ExtendedRecords&) = delete;
    ExtendedRecords& operator=(const ExtendedRecords&) = delete;
    ~ExtendedRecords() {
        if (records_ != nullptr) WTSFreeMemoryExW(WTSTypeProcessInfoLevel0, records_, count_);
    }
    LPWSTR* Receive() { return &records_; }
    DWORD* Count() { return &count_; }
    const WTS_PROCESS_INFOW* Get() const { return reinterpret_cast<WTS_PROCESS_INFOW*>(records_); }
    DWORD Size() const { return records_ != nullptr ? count_ : 0; }

private:
    LPWSTR records_ = nullptr;
    DWORD count_ = 0;
};

bool SessionKeyAppears(DWORD sessionId) {
    const std::wstring sessionData = L"SOFTWARE\\VMware, Inc.\\VMware VDM\\SessionData";
    {
        platform::UniqueKey key;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, sessionData.c_str(), 0, KEY_READ,
                          key.Receive()) != ERROR_SUCCESS) {
            return false;
        }
    }
    const std::wstring sessionKey = sessionData + L"\\" + std::to_wstring(sessionId);
    for (int attempt = 0; attempt < 3; ++attempt) {
        platform::UniqueKey key;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, sessionKey.c_str(), 0, KEY_READ,
                          key.Receive()) == ERROR_SUCCESS) {
            return true;
        }
        Sleep(200);
    }
    return false;
}

}  // namespace

bool BareFindProcess(DWORD sessionId, const wchar_t* name) {
    ExtendedRecords records;
    DWORD level = 0;
    if (!WTSEnumerateProcessesExW(WTS_CURRENT_SERVER_HANDLE, &level,
                                  sessionId == 0 ? WTS_ANY_SESSION : sessionId,
                                  records.Receive(), records.Count())) {
        return false;
    }
    for (DWORD i = 0; i < records.Size(); ++i) {
        const wchar_t* processName = records.Get()[i].pProcessName;
        if (processName != nullptr && _wcsicmp(processName, name) == 0) return true;
    }
    return false;
}

int BareFindInOwnSession(const wchar_t* const* names, int count) {
    platform::WtsBuffer<WTS_PROCESS_INFOW> records;
    DWORD recordCount = 0;
    if (!WTSEnumerateProcessesW(WTS_CURRENT_SERVER_HANDLE, 0, 1, records.Receive(),
                                &recordCount) ||
        records.Get() == nullptr) {
        return -1;
    }
    DWORD ownSession = 0;
    if (!ProcessIdToSessionId(GetCurrentProcessId(), &ownSession)) return -1;
    for (DWORD i = 0; i < recordCount; ++i) {
        const WTS_PROCESS_INFOW& record = records.Get()[i];
        if (record.SessionId != ownSession || record.pProcessName == nullptr) continue;
        for (int n = 0; n < count; ++n) {
            if (_wcsicmp(record.pProcessName, names[n]) == 0) return n;
        }
    }
    return -1;
}

bool BareVdmSession(DWORD sessionId, const wchar_t* const* names, int count) {
    return SessionKeyAppears(sessionId) || BareFindInOwnSession(names, count) >= 0;
}

}  // namespace bench
