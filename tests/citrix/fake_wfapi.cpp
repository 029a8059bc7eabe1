#include "fake_wfapi.h"

#include <cstring>
#include <map>
#include <mutex>
#include <set>
#include <stdexcept>

namespace fake_wfapi {

const std::array<const char*, 7> kExportNames = {
    "WFOpenServerW",   "WFCloseServer", "WFQuerySessionInformationW", "WFDisconnectSession",
    "WFLogoffSession", "WFFreeMemory",  "WFEnumerateSessionsW"};

namespace {

struct Enumeration {
    BOOL result = FALSE;
    bool withBuffer = false;
    DWORD count = 0;
};

struct Fake {
    std::mutex mutex;
    std::map<std::pair<DWORD, int>, QueryAnswer> queries;
    Enumeration enumeration;
    BOOL commandResult = TRUE;
    bool openServerNull = false;
    uintptr_t nextServer = 0x5001;
    std::vector<Call> calls;
    std::set<void*> blocks;
    std::vector<std::string> misuses;
};

Fake& TheFake() {
    static Fake fake;
    return fake;
}

void Record(Call call) {
    call.lockedSections = winsim::CountOutstanding().lockedSections;
    std::lock_guard<std::mutex> lock(TheFake().mutex);
    TheFake().calls.push_back(call);
}

void* HandOut(const std::vector<BYTE>& bytes) {
    BYTE* block = new BYTE[bytes.empty() ? 1 : bytes.size()]();
    if (!bytes.empty()) std::memcpy(block, bytes.data(), bytes.size());
    std::lock_guard<std::mutex> lock(TheFake().mutex);
    TheFake().blocks.insert(block);
    return block;
}

HANDLE WINAPI OpenServer(LPWSTR serverName) {
    Call call{"WFOpenServerW"};
    call.argument = serverName;
    Record(call);
    std::lock_guard<std::mutex> lock(TheFake().mutex);
    if (TheFake().openServerNull) return nullptr;
    return reinterpret_cast<HANDLE>(TheFake().nextServer++);
}

void WINAPI CloseServer(HANDLE server) {
    Call call{"WFCloseServer"};
    call.argument = server;
    Record(call);
}

BOOL WINAPI QuerySessionInformation(HANDLE server, DWORD sessionId, int infoClass,
                                    LPWSTR* buffer, DWORD* bytesReturned) {
    Call call{"WFQuerySessionInformationW", server, sessionId, infoClass};
    Record(call);
    QueryAnswer answer = Failure(ERROR_CTX_WINSTATION_NOT_FOUND);
    {
        std::lock_guard<std::mutex> lock(TheFake().mutex);
        const auto found = TheFake().queries.find({sessionId, infoClass});
        if (found != TheFake().queries.end()) answer = found->second;
    }
    *buffer = answer.withBuffer ? static_cast<LPWSTR>(HandOut(answer.block)) : nullptr;
    *bytesReturned = answer.bytes;
    if (answer.throwAfterBuffer) throw std::runtime_error("wfapi query interrupted");
    if (!answer.result) SetLastError(answer.error);
    return answer.result;
}

BOOL Command(const char* function, HANDLE server, DWORD sessionId, BOOL wait) {
    Call call{function, server, sessionId};
    call.wait = wait;
    Record(call);
    std::lock_guard<std::mutex> lock(TheFake().mutex);
    return TheFake().commandResult;
}

BOOL WINAPI DisconnectSession(HANDLE server, DWORD sessionId, BOOL wait) {
    return Command("WFDisconnectSession", server, sessionId, wait);
}

BOOL WINAPI LogoffSession(HANDLE server, DWORD sessionId, BOOL wait) {
    return Command("WFLogoffSession", server, sessionId, wait);
}

void WINAPI FreeMemory(void* memory) {
    Call call{"WFFreeMemory"};
    call.argument = memory;
    Record(call);
    std::lock_guard<std::mutex> lock(TheFake().mutex);
    if (TheFake().blocks.erase(memory) == 0) {
        TheFake().misuses.push_back("WFFreeMemory of a block not handed out");
        return;
    }
    delete[] static_cast<BYTE*>(memory);
}

BOOL WINAPI EnumerateSessions(HANDLE server, DWORD reserved, DWORD version, void** sessionInfo,
                              DWORD* count) {
    Call call{"WFEnumerateSessionsW", server};
    call.reserved = reserved;
    call.version = version;
    Record(call);
    Enumeration enumeration;
    {
        std::lock_guard<std::mutex> lock(TheFake().mutex);
        enumeration = TheFake().enumeration;
    }
    // Records shaped as the Terminal Services ones; only their count matters here.
    std::vector<BYTE> records(sizeof(WTS_SESSION_INFOW) * enumeration.count);
    *sessionInfo = enumeration.withBuffer ? HandOut(records) : nullptr;
    *count = enumeration.count;
    if (!enumeration.result) SetLastError(ERROR_ACCESS_DENIED);
    return enumeration.result;
}

template <class Function>
void* Address(Function* function) {
    return reinterpret_cast<void*>(function);
}

}  // namespace

QueryAnswer Text(const std::wstring& text) {
    QueryAnswer answer;
    answer.block.resize((text.size() + 1) * sizeof(WCHAR));
    std::memcpy(answer.block.data(), text.c_str(), answer.block.size());
    answer.bytes = static_cast<DWORD>(answer.block.size());
    return answer;
}

QueryAnswer Block(const std::vector<BYTE>& bytes) {
    QueryAnswer answer;
    answer.block = bytes;
    answer.bytes = static_cast<DWORD>(bytes.size());
    return answer;
}

QueryAnswer ConnectState(DWORD state) {
    std::vector<BYTE> bytes(sizeof(state));
    std::memcpy(bytes.data(), &state, sizeof(state));
    return Block(bytes);
}

QueryAnswer AddressRecord(DWORD family, const std::array<BYTE, 20>& address) {
    std::vector<BYTE> bytes(sizeof(family) + address.size());
    std::memcpy(bytes.data(), &family, sizeof(family));
    std::memcpy(bytes.data() + sizeof(family), address.data(), address.size());
    return Block(bytes);
}

QueryAnswer NoBuffer() {
    QueryAnswer answer;
    answer.withBuffer = false;
    return answer;
}

QueryAnswer Failure(DWORD error, bool withBuffer) {
    QueryAnswer answer;
    answer.result = FALSE;
    answer.withBuffer = withBuffer;
    answer.block = std::vector<BYTE>(8, 0xAB);
    answer.error = error;
    return answer;
}

void Reset() {
    Fake& fake = TheFake();
    std::lock_guard<std::mutex> lock(fake.mutex);
    for (void* block : fake.blocks) delete[] static_cast<BYTE*>(block);
    fake.blocks.clear();
    fake.queries.clear();
    fake.enumeration = Enumeration{};
    fake.commandResult = TRUE;
    fake.openServerNull = false;
    fake.nextServer = 0x5001;
    fake.calls.clear();
    fake.misuses.clear();
}

void AnswerQuery(DWORD sessionId, int infoClass, const QueryAnswer& answer) {
    std::lock_guard<std::mutex> lock(TheFake().mutex);
    TheFake().queries[{sessionId, infoClass}] = answer;
}

void AnswerEnumeration(BOOL result, bool withBuffer, DWORD count) {
    std::lock_guard<std::mutex> lock(TheFake().mutex);
    TheFake().enumeration = Enumeration{result, withBuffer, count};
}

void SetCommandResult(BOOL result) {
    std::lock_guard<std::mutex> lock(TheFake().mutex);
    TheFake().commandResult = result;
}

void SetOpenServerNull(bool null) {
    std::lock_guard<std::mutex> lock(TheFake().mutex);
    TheFake().openServerNull = null;
}

std::vector<Call> Calls() {
    std::lock_guard<std::mutex> lock(TheFake().mutex);
    return TheFake().calls;
}

void ForgetCalls() {
    std::lock_guard<std::mutex> lock(TheFake().mutex);
    TheFake().calls.clear();
}

unsigned CallCount(const std::string& function) {
    unsigned count = 0;
    for (const Call& call : Calls()) count += call.function == function ? 1 : 0;
    return count;
}

long OutstandingBlocks() {
    std::lock_guard<std::mutex> lock(TheFake().mutex);
    return static_cast<long>(TheFake().blocks.size());
}

std::vector<std::string> Misuses() {
    std::lock_guard<std::mutex> lock(TheFake().mutex);
    return TheFake().misuses;
}

winsim::Exports Exports(const std::string& missing) {
    winsim::Exports exports = {
        {"WFOpenServerW", Address(&OpenServer)},
        {"WFCloseServer", Address(&CloseServer)},
        {"WFQuerySessionInformationW", Address(&QuerySessionInformation)},
        {"WFDisconnectSession", Address(&DisconnectSession)},
        {"WFLogoffSession", Address(&LogoffSession)},
        {"WFFreeMemory", Address(&FreeMemory)},
        {"WFEnumerateSessionsW", Address(&EnumerateSessions)},
    };
    exports.erase(missing);
    return exports;
}

}  // namespace fake_wfapi
