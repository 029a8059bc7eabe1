#include "fake_wfapi.h"

#include <algorithm>
#include <stdexcept>

namespace fake_wfapi {
namespace {

// Calls come one at a time: the loader makes every call into wfapi.dll under its lock.
struct State {
    std::map<std::string, Answer> answers;
    std::vector<std::string> calls;
    std::map<BYTE*, std::vector<BYTE>> blocks;  // by the address handed out
    uintptr_t lastServer = 0;
    int misuses = 0;  // blocks freed that were not handed out
};
State g_state;

// Writes the call down; gives its scripted answer.
template <class... Number>
Answer Record(HANDLE server, std::string call, Number... numbers) {
    ((call += " " + std::to_string(numbers)), ...);
    const auto found = g_state.answers.find(call);
    if (server != nullptr) call += " server";
    if (winsim::CountOutstanding().lockedSections == 0) call += " unlocked";
    g_state.calls.push_back(call);
    return found != g_state.answers.end() ? found->second : Answer{};
}

// Hands out a copy of the answer's block, when it has one, and gives its result.
template <class Block>
BOOL Give(const Answer& answer, Block** out, DWORD* count) {
    std::vector<BYTE> block = answer.block;
    block.resize(std::max<std::size_t>(block.size(), answer.bytes));
    *out = answer.block.empty() ? nullptr : reinterpret_cast<Block*>(block.data());
    if (!answer.block.empty()) g_state.blocks.emplace(block.data(), std::move(block));
    *count = answer.bytes;
    if (answer.throwAfterBlock) throw std::runtime_error("wfapi.dll failed");
    if (!answer.result) SetLastError(answer.error);
    return answer.result;
}

HANDLE WINAPI OpenServer(LPWSTR name) {
    const bool opened = Record(nullptr, name == nullptr ? "Open" : "Open named").result;
    return opened ? reinterpret_cast<HANDLE>(++g_state.lastServer) : nullptr;
}
void WINAPI CloseServer(HANDLE server) { Record(nullptr, "Close", reinterpret_cast<uintptr_t>(server)); }
BOOL WINAPI Query(HANDLE server, DWORD session, int infoClass, LPWSTR* buffer, DWORD* bytes) {
    return Give(Record(server, "Query", session, infoClass), buffer, bytes);
}
BOOL WINAPI Disconnect(HANDLE server, DWORD session, BOOL wait) { return Record(server, "Disconnect", session, wait).result; }
BOOL WINAPI Logoff(HANDLE server, DWORD session, BOOL wait) { return Record(server, "Logoff", session, wait).result; }
void WINAPI FreeMemory(void* memory) {
    Record(nullptr, "Free");
    g_state.misuses += g_state.blocks.erase(static_cast<BYTE*>(memory)) == 0 ? 1 : 0;
}
BOOL WINAPI Enumerate(HANDLE server, DWORD reserved, DWORD version, void** list, DWORD* count) {
    return Give(Record(server, "Enumerate", reserved, version), list, count);
}

template <class Function>
void* Address(Function* function) { return reinterpret_cast<void*>(function); }

}  // namespace

Answer Text(const std::wstring& text) {
    const auto* bytes = reinterpret_cast<const BYTE*>(text.c_str());
    const std::size_t size = (text.size() + 1) * sizeof(WCHAR);
    return {TRUE, std::vector<BYTE>(bytes, bytes + size), static_cast<DWORD>(size)};
}

std::map<std::string, Answer>& Answers() { return g_state.answers; }

void Reset() { g_state = State{}; }

std::vector<std::string> Calls(bool forget) {
    const std::vector<std::string> calls = g_state.calls;
    if (forget) g_state.calls.clear();
    return calls;
}

std::string Leftovers() {
    return std::string(g_state.blocks.empty() ? "" : "blocks not given back ") + (g_state.misuses ? "blocks freed twice" : "");
}

winsim::Exports Exports(const std::string& missing) {
    winsim::Exports exports = {
        {"WFOpenServerW", Address(&OpenServer)}, {"WFCloseServer", Address(&CloseServer)},
        {"WFQuerySessionInformationW", Address(&Query)}, {"WFLogoffSession", Address(&Logoff)},
        {"WFDisconnectSession", Address(&Disconnect)}, {"WFFreeMemory", Address(&FreeMemory)},
        {"WFEnumerateSessionsW", Address(&Enumerate)}};
    exports.erase(missing);
    return exports;
}

}  // namespace fake_wfapi
