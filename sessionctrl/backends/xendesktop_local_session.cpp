// XenDesktopCtrl: whether the caller's own session is local.
#include "xendesktop_ctrl.h"

#include "wfapi_buffer.h"

namespace sessionctrl {

bool XenDesktopCtrl::IsLocalSession() {
    if (GetSystemMetrics(SM_REMOTESESSION) != 0) return false;

    if (IsWindows10OrGreater()) {
        DWORD ownSession = 0;
        if (!ProcessIdToSessionId(GetCurrentProcessId(), &ownSession)) return false;
        // A session reached through Citrix has a client address; a failed query counts
        // as local too.
        WfapiBuffer<WCHAR> record(loader_);
        DWORD bytes = 0;
        if (!loader_.IWFQuerySessionInformationW(ownSession, WTSClientAddress, record.Receive(),
                                                 &bytes)) {
            return true;
        }
        return record.Get() == nullptr;
    }

    // Older Windows: local when Citrix lists no session at all.
    try {
        WfapiBuffer<void> sessions(loader_);
        DWORD count = 0;
        if (!loader_.IWFEnumerateSessionsW(0, 1, sessions.Receive(), &count)) return false;
        if (sessions.Get() == nullptr) return false;
        return count == 0;
    } catch (...) {
        return false;
    }
}

bool XenDesktopCtrl::IsWindows10OrGreater() {
    OSVERSIONINFOEXW version{};
    version.dwOSVersionInfoSize = sizeof(version);
    version.dwMajorVersion = 10;
    version.dwMinorVersion = 0;
    version.wServicePackMajor = 0;
    ULONGLONG conditions = 0;
    conditions = VerSetConditionMask(conditions, VER_MAJORVERSION, VER_GREATER_EQUAL);
    conditions = VerSetConditionMask(conditions, VER_MINORVERSION, VER_GREATER_EQUAL);
    conditions = VerSetConditionMask(conditions, VER_SERVICEPACKMAJOR, VER_GREATER_EQUAL);
    return VerifyVersionInfoW(&version, VER_MAJORVERSION | VER_MINORVERSION | VER_SERVICEPACKMAJOR,
                              conditions) != FALSE;
}

}  // namespace sessionctrl
