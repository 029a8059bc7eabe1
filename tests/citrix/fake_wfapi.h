// A scriptable stand-in for Citrix's wfapi.dll in the simulated Windows: the seven
// exports as C-callable functions whose answers a test sets, with every call and every
// handed-out block recorded. Register it with winsim::RegisterModule(path, Exports()).
#pragma once

#include <platform/win32.h>
#include <winsim/machine.h>

#include <array>
#include <string>
#include <vector>

namespace fake_wfapi {

// The export names in the order the loader resolves them.
extern const std::array<const char*, 7> kExportNames;

// How WFQuerySessionInformationW answers one (session, class).
struct QueryAnswer {
    BOOL result = TRUE;
    bool withBuffer = true;
    std::vector<BYTE> block;   // copied into a fresh block when withBuffer
    DWORD bytes = 0;           // the byte count reported
    DWORD error = 0;           // last error set when result is FALSE
    bool throwAfterBuffer = false;  // hands out the block, then throws
};
QueryAnswer Text(const std::wstring& text);  // with its NUL, bytes = its size
QueryAnswer Block(const std::vector<BYTE>& bytes);
QueryAnswer ConnectState(DWORD state);
QueryAnswer AddressRecord(DWORD family, const std::array<BYTE, 20>& address);
QueryAnswer NoBuffer();
QueryAnswer Failure(DWORD error, bool withBuffer = false);

struct Call {
    std::string function;  // export name
    HANDLE server = nullptr;
    DWORD sessionId = 0;
    int infoClass = -1;
    BOOL wait = -1;
    DWORD reserved = 0;
    DWORD version = 0;
    const void* argument = nullptr;  // the server name, closed handle or freed block
    long lockedSections = 0;         // critical sections held while the call ran
};

// Forgets answers, calls and blocks. Queries without an answer fail with
// ERROR_CTX_WINSTATION_NOT_FOUND; the enumeration fails; commands succeed; servers
// open as 0x5001, 0x5002, ...
void Reset();
void AnswerQuery(DWORD sessionId, int infoClass, const QueryAnswer& answer);
void AnswerEnumeration(BOOL result, bool withBuffer, DWORD count);
void SetCommandResult(BOOL result);   // WFDisconnectSession and WFLogoffSession
void SetOpenServerNull(bool null);    // WFOpenServerW answers a null handle

std::vector<Call> Calls();
void ForgetCalls();
unsigned CallCount(const std::string& function);
long OutstandingBlocks();              // handed out and not freed
std::vector<std::string> Misuses();    // blocks freed twice or never handed out

// The exports, optionally without one of them.
winsim::Exports Exports(const std::string& missing = "");

}  // namespace fake_wfapi
