// XenDesktopCtrl: what it asks about a session. Citrix answers for connection state,
// station name and client address (the Citrix information classes carry the numbers
// of their Terminal Services namesakes); Terminal Services for domain and user.
#include "xendesktop_ctrl.h"

#include "answer_text.h"
#include "terminal_services.h"
#include "wfapi_buffer.h"

#include <platform/win32_raii.h>
#include <ssolog/trace.h>

#include <cstring>

namespace sessionctrl {
namespace {

// The domain and user queries: any text, even an empty one, is an answer. Their text is
// read up to its NUL whatever byte count came back: for these two queries the count is
// not looked at, so a count of 0 with a text still answers that text.
bool QueryTerminalServicesText(DWORD sessionId, WTS_INFO_CLASS infoClass,
                               const char* errorText, std::wstring& text) {
    platform::WtsBuffer<WCHAR> buffer;
    DWORD bytes = 0;
    const BOOL queried = WTSQuerySessionInformationW(WTS_CURRENT_SERVER_HANDLE, sessionId,
                                                     infoClass, buffer.Receive(), &bytes);
    const DWORD error = GetLastError();
    if (!queried || buffer.Get() == nullptr) {
        ssolog::TraceNumberNarrow(errorText, static_cast<int>(error));
        return false;
    }
    text = buffer.Get();
    return true;
}

}  // namespace

bool XenDesktopCtrl::GetStatus(DWORD sessionId, int& state) {
    try {
        WfapiBuffer<WCHAR> buffer(loader_);
        DWORD bytes = 0;
        if (!loader_.IWFQuerySessionInformationW(sessionId, WTSConnectState, buffer.Receive(),
                                                 &bytes) ||
            buffer.Get() == nullptr || bytes != sizeof(DWORD)) {
            return false;
        }
        DWORD connectState = 0;
        std::memcpy(&connectState, buffer.Get(), sizeof(connectState));
        state = static_cast<int>(connectState);
        return true;
    } catch (...) {
        return false;
    }
}

bool XenDesktopCtrl::GetWinStationName(DWORD sessionId, std::wstring& name) {
    try {
        WfapiBuffer<WCHAR> buffer(loader_);
        DWORD bytes = 0;
        const BOOL queried = loader_.IWFQuerySessionInformationW(sessionId, WTSWinStationName,
                                                                 buffer.Receive(), &bytes);
        const DWORD error = GetLastError();
        if (!queried || buffer.Get() == nullptr || bytes == 0) {
            ssolog::TraceNumber(L"[WFAPI] GetWinStationName error >", static_cast<int>(error));
            return false;
        }
        const std::wstring station = TextWithinBytes(buffer.Get(), bytes);
        // The physical console reports no station name.
        name = station.empty() ? L"Console" : station;
        return true;
    } catch (...) {
        return false;
    }
}

bool XenDesktopCtrl::GetClientAddress(DWORD sessionId, std::wstring& address, bool& isLocal) {
    try {
        WfapiBuffer<WCHAR> buffer(loader_);
        DWORD bytes = 0;
        const BOOL queried = loader_.IWFQuerySessionInformationW(sessionId, WTSClientAddress,
                                                                 buffer.Receive(), &bytes);
        return terminal_services::ClientAddressFromAnswer(*this, queried != FALSE, buffer.Get(),
                                                          bytes, address, isLocal);
    } catch (...) {
        return false;
    }
}

bool XenDesktopCtrl::GetLoggedOnWinDomain(DWORD sessionId, std::wstring& domain) {
    return QueryTerminalServicesText(sessionId, WTSDomainName,
                                     "[WFAPI] GetLoggedOnWinDomain error >", domain);
}

bool XenDesktopCtrl::GetSessionUserName(DWORD sessionId, std::wstring& user) {
    return QueryTerminalServicesText(sessionId, WTSUserName, "[WFAPI] GetSessionUserName error >",
                                     user);
}

}  // namespace sessionctrl
