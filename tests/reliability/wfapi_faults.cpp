#include "wfapi_faults.h"

#include "alloc_faults.h"
#include "fake_wfapi.h"

#include <map>
#include <mutex>

namespace wfapi_faults {
namespace {

struct State {
    std::mutex mutex;
    std::vector<std::string> calls;
    std::string failing;
    unsigned remaining = 0;  // calls of `failing` until the one that fails
    winsim::Exports fake;
};

State& TheState() {
    static State state;
    return state;
}

// Logs the call; true when this one is to fail.
bool Enter(const char* exportName) {
    alloc_faults::ForeignScope platform;
    State& state = TheState();
    std::lock_guard<std::mutex> lock(state.mutex);
    state.calls.emplace_back(exportName);
    if (state.remaining == 0 || state.failing != exportName) return false;
    return --state.remaining == 0;
}

template <class Function>
Function* Fake(const char* exportName) {
    return reinterpret_cast<Function*>(TheState().fake.at(exportName));
}

HANDLE WINAPI OpenServer(LPWSTR serverName) {
    if (Enter("WFOpenServerW")) {
        SetLastError(ERROR_ACCESS_DENIED);
        return nullptr;
    }
    alloc_faults::ForeignScope platform;
    return Fake<HANDLE WINAPI(LPWSTR)>("WFOpenServerW")(serverName);
}

void WINAPI CloseServer(HANDLE server) {
    Enter("WFCloseServer");
    alloc_faults::ForeignScope platform;
    Fake<void WINAPI(HANDLE)>("WFCloseServer")(server);
}

BOOL WINAPI QuerySessionInformation(HANDLE server, DWORD sessionId, int infoClass,
                                    LPWSTR* buffer, DWORD* bytesReturned) {
    if (Enter("WFQuerySessionInformationW")) {
        *buffer = nullptr;
        *bytesReturned = 0;
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    alloc_faults::ForeignScope platform;
    return Fake<BOOL WINAPI(HANDLE, DWORD, int, LPWSTR*, DWORD*)>("WFQuerySessionInformationW")(
        server, sessionId, infoClass, buffer, bytesReturned);
}

BOOL Command(const char* exportName, HANDLE server, DWORD sessionId, BOOL wait) {
    if (Enter(exportName)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    alloc_faults::ForeignScope platform;
    return Fake<BOOL WINAPI(HANDLE, DWORD, BOOL)>(exportName)(server, sessionId, wait);
}

BOOL WINAPI DisconnectSession(HANDLE server, DWORD sessionId, BOOL wait) {
    return Command("WFDisconnectSession", server, sessionId, wait);
}

BOOL WINAPI LogoffSession(HANDLE server, DWORD sessionId, BOOL wait) {
    return Command("WFLogoffSession", server, sessionId, wait);
}

void WINAPI FreeMemory(void* memory) {
    Enter("WFFreeMemory");
    alloc_faults::ForeignScope platform;
    Fake<void WINAPI(void*)>("WFFreeMemory")(memory);
}

BOOL WINAPI EnumerateSessions(HANDLE server, DWORD reserved, DWORD version, void** sessionInfo,
                              DWORD* count) {
    if (Enter("WFEnumerateSessionsW")) {
        *sessionInfo = nullptr;
        *count = 0;
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    alloc_faults::ForeignScope platform;
    return Fake<BOOL WINAPI(HANDLE, DWORD, DWORD, void**, DWORD*)>("WFEnumerateSessionsW")(
        server, reserved, version, sessionInfo, count);
}

template <class Function>
void* Address(Function* function) {
    return reinterpret_cast<void*>(function);
}

}  // namespace

winsim::Exports Exports() {
    TheState().fake = fake_wfapi::Exports();
    return {
        {"WFOpenServerW", Address(&OpenServer)},
        {"WFCloseServer", Address(&CloseServer)},
        {"WFQuerySessionInformationW", Address(&QuerySessionInformation)},
        {"WFDisconnectSession", Address(&DisconnectSession)},
        {"WFLogoffSession", Address(&LogoffSession)},
        {"WFFreeMemory", Address(&FreeMemory)},
        {"WFEnumerateSessionsW", Address(&EnumerateSessions)},
    };
}

void FailCall(const std::string& exportName, unsigned nth) {
    std::lock_guard<std::mutex> lock(TheState().mutex);
    TheState().failing = exportName;
    TheState().remaining = nth;
}

void ClearFaults() { FailCall("", 0); }

std::vector<std::string> CallLog() {
    std::lock_guard<std::mutex> lock(TheState().mutex);
    return TheState().calls;
}

void ForgetCalls() {
    std::lock_guard<std::mutex> lock(TheState().mutex);
    TheState().calls.clear();
}

bool CanFail(const std::string& exportName) {
    return exportName != "WFCloseServer" && exportName != "WFFreeMemory";
}

}  // namespace wfapi_faults
