#include "fake_wfapi.h"

#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <optional>

namespace sessionctl {
namespace {

// Blocks handed to the library, given back through WFFreeMemory.
std::mutex g_mutex;
std::map<void*, std::unique_ptr<std::vector<BYTE>>> g_blocks;
std::vector<std::string> g_actions;
int g_server;  // its address is the server handle

void* NewBlock(size_t size) {
    auto block = std::make_unique<std::vector<BYTE>>(size == 0 ? 1 : size, BYTE{0});
    void* data = block->data();
    std::lock_guard<std::mutex> lock(g_mutex);
    g_blocks[data] = std::move(block);
    return data;
}

std::optional<winsim::SessionSpec> FindSession(DWORD sessionId) {
    for (const winsim::SessionSpec& session : winsim::Sessions()) {
        if (session.id == sessionId) {
            return session;
        }
    }
    return std::nullopt;
}

HANDLE WINAPI WFOpenServerW(LPWSTR) { return &g_server; }

void WINAPI WFCloseServer(HANDLE) {}

BOOL WINAPI WFQuerySessionInformationW(HANDLE, DWORD sessionId, int infoClass, LPWSTR* buffer,
                                       DWORD* bytesReturned) {
    auto session = FindSession(sessionId);
    if (!session) {
        SetLastError(ERROR_CTX_WINSTATION_NOT_FOUND);
        return FALSE;
    }
    switch (infoClass) {
    case WTSWinStationName: {
        size_t bytes = (session->station.size() + 1) * sizeof(WCHAR);
        void* block = NewBlock(bytes);
        std::memcpy(block, session->station.c_str(), bytes);
        *buffer = static_cast<LPWSTR>(block);
        *bytesReturned = static_cast<DWORD>(bytes);
        return TRUE;
    }
    case WTSConnectState: {
        void* block = NewBlock(sizeof(DWORD));
        DWORD state = static_cast<DWORD>(session->state);
        std::memcpy(block, &state, sizeof state);
        *buffer = static_cast<LPWSTR>(block);
        *bytesReturned = sizeof state;
        return TRUE;
    }
    case WTSClientAddress: {
        if (!session->clientAddress) {
            *buffer = nullptr;
            *bytesReturned = 0;
            return TRUE;
        }
        WTS_CLIENT_ADDRESS record{};
        record.AddressFamily = session->clientAddress->family;
        std::memcpy(record.Address, session->clientAddress->bytes.data(), sizeof record.Address);
        void* block = NewBlock(sizeof record);
        std::memcpy(block, &record, sizeof record);
        *buffer = static_cast<LPWSTR>(block);
        *bytesReturned = sizeof record;
        return TRUE;
    }
    default:
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
}

BOOL Act(const char* function, DWORD sessionId, BOOL wait) {
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        g_actions.push_back(std::string(function) + "(session " + std::to_string(sessionId) +
                            ", wait " + (wait ? "yes" : "no") + ")");
    }
    if (!FindSession(sessionId)) {
        SetLastError(ERROR_CTX_WINSTATION_NOT_FOUND);
        return FALSE;
    }
    return TRUE;
}

BOOL WINAPI WFDisconnectSession(HANDLE, DWORD sessionId, BOOL wait) {
    return Act("WFDisconnectSession", sessionId, wait);
}

BOOL WINAPI WFLogoffSession(HANDLE, DWORD sessionId, BOOL wait) {
    return Act("WFLogoffSession", sessionId, wait);
}

void WINAPI WFFreeMemory(void* memory) {
    std::lock_guard<std::mutex> lock(g_mutex);
    g_blocks.erase(memory);
}

BOOL WINAPI WFEnumerateSessionsW(HANDLE, DWORD, DWORD, void** sessionInfo, DWORD* count) {
    std::vector<winsim::SessionSpec> sessions = winsim::Sessions();
    // Records first, then the station names they point to, in one block.
    size_t size = sessions.size() * sizeof(WTS_SESSION_INFOW);
    for (const auto& session : sessions) {
        size += (session.station.size() + 1) * sizeof(WCHAR);
    }
    auto* block = static_cast<BYTE*>(NewBlock(size));
    auto* records = reinterpret_cast<WTS_SESSION_INFOW*>(block);
    auto* names = reinterpret_cast<WCHAR*>(block + sessions.size() * sizeof(WTS_SESSION_INFOW));
    for (size_t i = 0; i < sessions.size(); ++i) {
        records[i].SessionId = sessions[i].id;
        records[i].State = sessions[i].state;
        records[i].pWinStationName = names;
        std::memcpy(names, sessions[i].station.c_str(), (sessions[i].station.size() + 1) * sizeof(WCHAR));
        names += sessions[i].station.size() + 1;
    }
    *sessionInfo = block;
    *count = static_cast<DWORD>(sessions.size());
    return TRUE;
}

template <typename Function>
void* Export(Function* function) {
    return reinterpret_cast<void*>(function);
}

}  // namespace

winsim::Exports FakeWfapiExports() {
    return {
        {"WFOpenServerW", Export(&WFOpenServerW)},
        {"WFCloseServer", Export(&WFCloseServer)},
        {"WFQuerySessionInformationW", Export(&WFQuerySessionInformationW)},
        {"WFDisconnectSession", Export(&WFDisconnectSession)},
        {"WFLogoffSession", Export(&WFLogoffSession)},
        {"WFFreeMemory", Export(&WFFreeMemory)},
        {"WFEnumerateSessionsW", Export(&WFEnumerateSessionsW)},
    };
}

std::vector<std::string> FakeWfapiActions() {
    std::lock_guard<std::mutex> lock(g_mutex);
    return g_actions;
}

}  // namespace sessionctl
