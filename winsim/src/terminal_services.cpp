// The Terminal Services API over the scripted sessions and processes. Every buffer is
// one counted allocation, given back with WTSFreeMemory (WTSFreeMemoryExW for the
// extended process list).
#include "machine_state.h"

using namespace winsim;
using namespace winsim::detail;

namespace {

constexpr const char* kPlainBuffer = "WTSFreeMemory";
constexpr const char* kProcessLevel0 = "WTSFreeMemoryExW(WTSTypeProcessInfoLevel0)";

// One block: `head` bytes of records, then the texts, each NUL-terminated.
struct Block {
    BYTE* memory = nullptr;
    size_t textOffset = 0;

    Block(size_t head, const std::vector<std::wstring>& texts, const char* freedBy, ULONG entries) {
        size_t size = head;
        for (auto& text : texts) size += (text.size() + 1) * sizeof(WCHAR);
        memory = static_cast<BYTE*>(std::calloc(1, size == 0 ? 1 : size));
        State().wtsBuffers[memory] = WtsBlock{freedBy, entries};
        textOffset = head;
    }
    LPWSTR AddText(const std::wstring& text) {
        auto* place = reinterpret_cast<LPWSTR>(memory + textOffset);
        text.copy(place, text.size());
        place[text.size()] = L'\0';
        textOffset += (text.size() + 1) * sizeof(WCHAR);
        return place;
    }
};

bool ValidServer(HANDLE server) {
    if (server == WTS_CURRENT_SERVER_HANDLE) return true;
    auto it = State().handles.find(server);
    return it != State().handles.end() && it->second.kind == HandleKind::Server;
}

const winsim::SessionSpec* FindSession(DWORD sessionId) {
    if (sessionId == WTS_CURRENT_SESSION) sessionId = State().session;
    auto it = State().sessions.find(sessionId);
    return it != State().sessions.end() ? &it->second : nullptr;
}

BOOL Hand(const void* bytes, size_t size, LPWSTR* buffer, DWORD* bytesReturned) {
    Block block(size, {}, kPlainBuffer, 0);
    // An empty scripted answer has no source bytes; memcpy must not see a null pointer.
    if (size != 0) std::memcpy(block.memory, bytes, size);
    *buffer = reinterpret_cast<LPWSTR>(block.memory);
    *bytesReturned = static_cast<DWORD>(size);
    return TRUE;
}

BOOL HandText(const std::wstring& text, LPWSTR* buffer, DWORD* bytesReturned) {
    Block block(0, {text}, kPlainBuffer, 0);
    *buffer = block.AddText(text);
    *bytesReturned = static_cast<DWORD>((text.size() + 1) * sizeof(WCHAR));
    return TRUE;
}

// The processes an enumeration reports: the current one first, then the scripted ones.
std::vector<winsim::ProcessSpec> AllProcesses() {
    const Machine& m = State();
    std::vector<winsim::ProcessSpec> all{{m.pid, m.session, m.processName}};
    for (auto& [pid, process] : m.processes) {
        if (pid != m.pid) all.push_back(process);
    }
    return all;
}

// Frees a buffer handed out here; records a misuse for anything else or a wrong way.
void FreeBuffer(void* memory, const char* freedBy, std::optional<ULONG> entries) {
    Guard guard = Lock();
    auto it = State().wtsBuffers.find(memory);
    if (it == State().wtsBuffers.end()) {
        RecordMisuse(std::string(freedBy) + " of a buffer not handed out or already freed");
        return;
    }
    const WtsBlock& record = it->second;
    if (record.freedBy != freedBy) {
        RecordMisuse(std::string(freedBy) + " of a buffer to be freed by " + record.freedBy);
    } else if (entries && *entries != record.entries) {
        RecordMisuse(std::string(freedBy) + " with " + std::to_string(*entries) +
                     " entries for a buffer of " + std::to_string(record.entries));
    }
    State().wtsBuffers.erase(it);
    std::free(memory);
}

// What a session answers for one information class, as scripted.
BOOL Answer(const winsim::SessionSpec& session, WTS_INFO_CLASS infoClass, LPWSTR* buffer,
            DWORD* bytesReturned) {
    if (auto raw = session.rawInfo.find(infoClass); raw != session.rawInfo.end()) {
        return Hand(raw->second.data(), raw->second.size(), buffer, bytesReturned);
    }
    switch (infoClass) {
        case WTSUserName: return HandText(session.user, buffer, bytesReturned);
        case WTSWinStationName: return HandText(session.station, buffer, bytesReturned);
        case WTSDomainName: return HandText(session.domain, buffer, bytesReturned);
        case WTSSessionId: return Hand(&session.id, sizeof(DWORD), buffer, bytesReturned);
        case WTSConnectState: {
            const auto state = static_cast<DWORD>(session.state);
            return Hand(&state, sizeof state, buffer, bytesReturned);
        }
        case WTSClientAddress: {
            if (!session.clientAddress) {
                *buffer = nullptr;
                *bytesReturned = 0;
                return TRUE;
            }
            WTS_CLIENT_ADDRESS record{};
            record.AddressFamily = session.clientAddress->family;
            std::memcpy(record.Address, session.clientAddress->bytes.data(), sizeof record.Address);
            return Hand(&record, sizeof record, buffer, bytesReturned);
        }
        default:
            return Fail(ERROR_NOT_SUPPORTED, FALSE);
    }
}

}  // namespace

namespace winsim {

ClientAddress IPv4(BYTE a, BYTE b, BYTE c, BYTE d) {
    ClientAddress address;
    address.family = AF_INET;
    address.bytes[2] = a, address.bytes[3] = b, address.bytes[4] = c, address.bytes[5] = d;
    return address;
}

ClientAddress IPv6(const std::array<uint16_t, 8>& groups) {
    ClientAddress address;
    address.family = AF_INET6;
    for (size_t i = 0; i < groups.size(); ++i) {
        address.bytes[2 + 2 * i] = static_cast<BYTE>(groups[i] >> 8);
        address.bytes[3 + 2 * i] = static_cast<BYTE>(groups[i] & 0xFF);
    }
    return address;
}

void AddSession(const SessionSpec& session) {
    Guard guard = Lock();
    State().sessions[session.id] = session;
}

void RemoveSession(DWORD id) {
    Guard guard = Lock();
    State().sessions.erase(id);
}

std::vector<SessionSpec> Sessions() {
    Guard guard = Lock();
    std::vector<SessionSpec> all;
    for (auto& [id, session] : State().sessions) all.push_back(session);
    return all;
}

std::vector<Action> Actions() {
    Guard guard = Lock();
    return State().actions;
}

}  // namespace winsim

extern "C" HANDLE WTSOpenServerW(LPWSTR serverName) {
    if (auto fault = Enter("WTSOpenServerW")) return Fail(*fault, static_cast<HANDLE>(nullptr));
    if (serverName != nullptr && serverName[0] != L'\0') {
        return Fail(RPC_S_SERVER_UNAVAILABLE, static_cast<HANDLE>(nullptr));  // only this machine
    }
    Guard guard = Lock();
    HANDLE server = NewHandleValue();
    State().handles[server] = HandleEntry{HandleKind::Server, {}, 0, -1, 0};
    return server;
}

extern "C" void WTSCloseServer(HANDLE server) {
    Enter("WTSCloseServer");
    if (server == WTS_CURRENT_SERVER_HANDLE) return;
    Guard guard = Lock();
    auto it = State().handles.find(server);
    if (it == State().handles.end() || it->second.kind != HandleKind::Server) {
        RecordMisuse("WTSCloseServer of a server handle that is not open");
        return;
    }
    State().handles.erase(it);
}

extern "C" BOOL WTSQuerySessionInformationW(HANDLE server, DWORD sessionId, WTS_INFO_CLASS infoClass,
                                            LPWSTR* buffer, DWORD* bytesReturned) {
    if (auto fault = Enter("WTSQuerySessionInformationW")) return Fail(*fault, FALSE);
    if (buffer == nullptr || bytesReturned == nullptr) return Fail(ERROR_INVALID_PARAMETER, FALSE);
    Guard guard = Lock();
    if (!ValidServer(server)) return Fail(ERROR_INVALID_HANDLE, FALSE);
    const winsim::SessionSpec* session = FindSession(sessionId);
    if (session == nullptr) return Fail(ERROR_CTX_WINSTATION_NOT_FOUND, FALSE);
    if (auto failing = session->failingInfo.find(infoClass); failing != session->failingInfo.end()) {
        return Fail(failing->second, FALSE);
    }
    const BOOL answered = Answer(*session, infoClass, buffer, bytesReturned);
    if (auto count = session->reportedBytes.find(infoClass);
        answered && count != session->reportedBytes.end()) {
        *bytesReturned = count->second;
    }
    return answered;
}

extern "C" void WTSFreeMemory(PVOID memory) {
    Enter("WTSFreeMemory");
    if (memory != nullptr) FreeBuffer(memory, kPlainBuffer, std::nullopt);
}

extern "C" BOOL WTSFreeMemoryExW(WTS_TYPE_CLASS typeClass, PVOID memory, ULONG numberOfEntries) {
    if (auto fault = Enter("WTSFreeMemoryExW")) return Fail(*fault, FALSE);
    if (memory == nullptr || typeClass != WTSTypeProcessInfoLevel0) {
        return Fail(ERROR_INVALID_PARAMETER, FALSE);
    }
    FreeBuffer(memory, kProcessLevel0, numberOfEntries);
    return TRUE;
}

extern "C" BOOL WTSEnumerateSessionsW(HANDLE server, DWORD reserved, DWORD version,
                                      PWTS_SESSION_INFOW* sessionInfo, DWORD* count) {
    if (auto fault = Enter("WTSEnumerateSessionsW")) return Fail(*fault, FALSE);
    if (reserved != 0 || version != 1 || sessionInfo == nullptr || count == nullptr) {
        return Fail(ERROR_INVALID_PARAMETER, FALSE);
    }
    Guard guard = Lock();
    if (!ValidServer(server)) return Fail(ERROR_INVALID_HANDLE, FALSE);
    std::vector<std::wstring> texts;
    for (auto& [id, session] : State().sessions) texts.push_back(session.station);
    const size_t n = State().sessions.size();
    Block block(n * sizeof(WTS_SESSION_INFOW), texts, kPlainBuffer, static_cast<ULONG>(n));
    auto* records = reinterpret_cast<PWTS_SESSION_INFOW>(block.memory);
    size_t i = 0;
    for (auto& [id, session] : State().sessions) {
        records[i].SessionId = id;
        LPWSTR station = block.AddText(session.station);
        records[i].pWinStationName = session.nullStationInList ? nullptr : station;
        records[i].State = session.state;
        ++i;
    }
    *sessionInfo = records;
    *count = static_cast<DWORD>(n);
    return TRUE;
}

namespace {

PWTS_PROCESS_INFOW ProcessRecords(const std::vector<winsim::ProcessSpec>& processes,
                                  const char* freedBy) {
    std::vector<std::wstring> names;
    for (auto& process : processes) names.push_back(process.name);
    const auto n = static_cast<ULONG>(processes.size());
    Block block(n * sizeof(WTS_PROCESS_INFOW), names, freedBy, n);
    auto* records = reinterpret_cast<PWTS_PROCESS_INFOW>(block.memory);
    for (size_t i = 0; i < processes.size(); ++i) {
        records[i].SessionId = processes[i].sessionId;
        records[i].ProcessId = processes[i].pid;
        records[i].pProcessName = block.AddText(processes[i].name);
        records[i].pUserSid = nullptr;
    }
    return records;
}

}  // namespace

extern "C" BOOL WTSEnumerateProcessesW(HANDLE server, DWORD reserved, DWORD version,
                                       PWTS_PROCESS_INFOW* processInfo, DWORD* count) {
    if (auto fault = Enter("WTSEnumerateProcessesW")) return Fail(*fault, FALSE);
    if (reserved != 0 || version != 1 || processInfo == nullptr || count == nullptr) {
        return Fail(ERROR_INVALID_PARAMETER, FALSE);
    }
    Guard guard = Lock();
    if (!ValidServer(server)) return Fail(ERROR_INVALID_HANDLE, FALSE);
    const auto processes = AllProcesses();
    *processInfo = ProcessRecords(processes, kPlainBuffer);
    *count = static_cast<DWORD>(processes.size());
    return TRUE;
}

extern "C" BOOL WTSEnumerateProcessesExW(HANDLE server, DWORD* level, DWORD sessionId,
                                         LPWSTR* processInfo, DWORD* count) {
    if (auto fault = Enter("WTSEnumerateProcessesExW")) return Fail(*fault, FALSE);
    if (level == nullptr || *level != 0 || processInfo == nullptr || count == nullptr) {
        return Fail(ERROR_INVALID_PARAMETER, FALSE);  // level 1 is not simulated
    }
    Guard guard = Lock();
    if (!ValidServer(server)) return Fail(ERROR_INVALID_HANDLE, FALSE);
    std::vector<winsim::ProcessSpec> selected;
    for (auto& process : AllProcesses()) {
        if (sessionId == WTS_ANY_SESSION || process.sessionId == sessionId) selected.push_back(process);
    }
    *processInfo = reinterpret_cast<LPWSTR>(ProcessRecords(selected, kProcessLevel0));
    *count = static_cast<DWORD>(selected.size());
    return TRUE;
}

namespace {

BOOL SessionAction(const char* function, HANDLE server, DWORD sessionId, BOOL wait) {
    if (auto fault = Enter(function)) return Fail(*fault, FALSE);
    Guard guard = Lock();
    if (!ValidServer(server)) return Fail(ERROR_INVALID_HANDLE, FALSE);
    if (FindSession(sessionId) == nullptr) return Fail(ERROR_CTX_WINSTATION_NOT_FOUND, FALSE);
    State().actions.push_back(winsim::Action{function, sessionId, wait});
    return TRUE;
}

}  // namespace

extern "C" BOOL WTSDisconnectSession(HANDLE server, DWORD sessionId, BOOL wait) {
    return SessionAction("WTSDisconnectSession", server, sessionId, wait);
}

extern "C" BOOL WTSLogoffSession(HANDLE server, DWORD sessionId, BOOL wait) {
    return SessionAction("WTSLogoffSession", server, sessionId, wait);
}

extern "C" BOOL LockWorkStation(void) {
    if (auto fault = Enter("LockWorkStation")) return Fail(*fault, FALSE);
    Guard guard = Lock();
    State().actions.push_back(winsim::Action{"LockWorkStation", State().session, FALSE});
    return TRUE;
}
