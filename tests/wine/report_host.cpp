// The Wine tests' host and the main job's session report: asks HalcyonSessionCtrl.dll the
// questions named on its command line (all of them when none is named) about its own
// session, one "question=answer" line each, "false" for a failed call. Other words:
//   server=PATH  starts PATH (a stand-in server process) and waits until FindProcess lists it
//   wait=PATH    prints "ready", then waits until the file PATH exists
//   write=N      traces N more lines "Disconnect, 100001 (0x186a1)"..., prints how long it took
//                ("write_ms="), its slowest line ("slowest_us=") and how many took over 5 ms
//   hold=PATH    takes the log writers' lock on the file PATH, prints "held", sleeps holding it
//   block=PATH   as hold=, and lets no writer open the file meanwhile
#include <sessionctrl/SessionCtrl.h>

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <list>
#include <string>
#include <vector>

using sessionctrl::SessionCtrl;

namespace {

std::string Utf8(const std::wstring& text) {
    std::string utf8(text.size() * 3, '\0');
    const int length = static_cast<int>(text.size());
    utf8.resize(static_cast<size_t>(WideCharToMultiByte(CP_UTF8, 0, text.c_str(), length, &utf8[0],
                                                        3 * length, nullptr, nullptr)));
    return utf8;
}

std::wstring Wide(const std::string& ascii) { return std::wstring(ascii.begin(), ascii.end()); }

std::string Answer(bool ok, const std::wstring& text) { return ok ? Utf8(text) : "false"; }

std::string Flag(bool value) { return value ? "1" : "0"; }

std::string Ask(const std::string& question, unsigned long own) {
    std::wstring text;
    int state = 0;
    bool isLocal = false;
    if (question == "session") return std::to_string(own);
    if (question == "pid") return std::to_string(GetCurrentProcessId());
    if (question == "local") return Flag(SessionCtrl::IsLocalSession());
    if (question == "user") return Answer(SessionCtrl::GetSessionUserName(own, text), text);
    if (question == "domain") return Answer(SessionCtrl::GetLoggedOnWinDomain(text), text);
    if (question == "station") return Answer(SessionCtrl::GetWinStationName(own, text), text);
    if (question == "state")
        return SessionCtrl::GetStatus(own, state) ? std::to_string(state) : "false";
    if (question == "connected") return Flag(SessionCtrl::IsConnected(own));
    if (question == "address") {
        if (!SessionCtrl::GetClientAddress(own, text, isLocal)) return "false";
        return isLocal ? "local" : Utf8(text);
    }
    if (question == "sessions") {
        std::list<sessionctrl::ISessionCtrl::SESSION_INFO> sessions;
        return SessionCtrl::GetAllWinStationName(sessions) ? std::to_string(sessions.size())
                                                           : "false";
    }
    if (question == "sid") {
        sessionctrl::UserTokenHolder holder;
        return Answer(SessionCtrl::GetUserToken(own, holder) && holder.GetTokenSID(text), text);
    }
    if (question == "pcoip") return Flag(SessionCtrl::IsPCoIPConnect());
    if (question == "commands")
        return Flag(SessionCtrl::Disconnect(own, false) && SessionCtrl::LogoffSession(own, true));
    if (question == "release") {
        SessionCtrl::Release();
        return "done";
    }
    if (question == "wow64") {
        BOOL wow64 = FALSE;
        return Flag(IsWow64Process(GetCurrentProcess(), &wow64) && wow64);
    }
    return "unknown question";
}

void StartServer(const std::string& path, PROCESS_INFORMATION& server) {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    std::wstring command = L"\"" + Wide(path) + L"\" sleep";
    const std::wstring image = Wide(path.substr(path.find_last_of('\\') + 1));
    bool listed = CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr,
                                 nullptr, &startup, &server);
    for (int tries = 0; listed && !SessionCtrl::FindProcess(0, image.c_str()); ++tries) {
        listed = tries < 100;
        Sleep(100);
    }
    std::printf("server=%s\n", Flag(listed).c_str());
}

// The writers' lock on the file PATH, the library's token byte at 0x7FFFFFFF00000000; with
// `block` the file is also shared for reading only, so that no writer can open it meanwhile.
void Hold(const std::string& path, bool block) {
    const DWORD sharing = FILE_SHARE_READ | FILE_SHARE_DELETE | (block ? 0 : FILE_SHARE_WRITE);
    const HANDLE file =
        CreateFileW(Wide(path).c_str(), GENERIC_READ, sharing, nullptr, OPEN_ALWAYS, 0, nullptr);
    OVERLAPPED range{};
    range.OffsetHigh = 0x7FFFFFFF;
    const bool held =
        LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &range);
    std::printf("held=%s\n", Flag(held).c_str());
    std::fflush(stdout);
    Sleep(INFINITE);
}

// Traces `count` more numbered lines; prints how long they took, the slowest one and how
// many took over 5 ms.
void WriteLines(int count, unsigned long& lines) {
    const DWORD start = GetTickCount();
    LARGE_INTEGER perSecond{}, before{}, after{};
    QueryPerformanceFrequency(&perSecond);
    LONGLONG slowest = 0;
    unsigned long over5ms = 0;
    for (; count > 0; --count) {
        QueryPerformanceCounter(&before);
        SessionCtrl::Disconnect(100000 + ++lines, false);
        QueryPerformanceCounter(&after);
        const LONGLONG took = after.QuadPart - before.QuadPart;
        slowest = took > slowest ? took : slowest;
        over5ms += took * 200 > perSecond.QuadPart;
    }
    // In double: a 64-bit division would need the x86 run-time's _alldiv, which the
    // Microsoft-ABI hosts do not link.
    std::printf("write_ms=%lu\nslowest_us=%.0f\nover_5ms=%lu\n", GetTickCount() - start,
                static_cast<double>(slowest) * 1e6 / static_cast<double>(perSecond.QuadPart), over5ms);
}

}  // namespace

int main(int argc, char** argv) {
    const unsigned long own = SessionCtrl::GetCurrentSessionID();
    std::vector<std::string> words(argv + 1, argv + argc);
    if (words.empty())
        words = {"session", "local", "user", "domain", "station", "state",
                 "connected", "address", "sessions", "sid", "pcoip"};
    PROCESS_INFORMATION server{};
    unsigned long lines = 0;
    for (const std::string& word : words) {
        const std::string::size_type equals = word.find('=');
        const std::string name = word.substr(0, equals), value = word.substr(equals + 1);
        if (name == "server") {
            StartServer(value, server);
        } else if (name == "wait") {
            std::printf("ready\n");
            std::fflush(stdout);
            while (GetFileAttributesW(Wide(value).c_str()) == INVALID_FILE_ATTRIBUTES) Sleep(1);
        } else if (name == "write") {
            WriteLines(std::atoi(value.c_str()), lines);
        } else if (name == "hold" || name == "block") {
            Hold(value, name == "block");
        } else {
            std::printf("%s=%s\n", word.c_str(), Ask(word, own).c_str());
        }
        std::fflush(stdout);
    }
    if (server.hProcess != nullptr) TerminateProcess(server.hProcess, 0);
    return 0;
}
