// Writers of session.log in every process lock one byte far past its end around each
// line. One logger writes a line per row, in order, while another handle holds that byte
// (shared, so that only an exclusive request conflicts) or not, or while LockFileEx fails
// otherwise; each row compares the time slept waiting and the file calls of its line.
#include "debug_log.h"

#include <test_support/machine_fixture.h>

#include <regex>

namespace {

using test_support::kSessionLog;

// The clock step before the line; 'h': another handle holds the byte, 'c': it is held at
// the first attempt only (a collision), 'x': LockFileEx fails, '-': none of these; the
// milliseconds slept, then the file calls ("LockFileEx+": a run).
struct Row { const char* name; DWORD msLater; char peer; const char* waitedAndCalls; };

const Row kRows[] = {
    {"free", 0, '-', "0 _wfsopen LockFileEx WriteFile UnlockFileEx"},
    {"collision", 0, 'c', "0 _wfsopen LockFileEx+ WriteFile UnlockFileEx"},
    {"held", 0, 'h', "50 _wfsopen LockFileEx+ WriteFile"},
    {"heldWithinTenSeconds", 9999, 'h', "0 _wfsopen LockFileEx WriteFile"},
    {"heldTenSecondsLater", 1, 'h', "50 _wfsopen LockFileEx+ WriteFile"},
    {"freeWithinTenSeconds", 0, '-', "0 _wfsopen LockFileEx WriteFile UnlockFileEx"},
    {"heldAgainOnceHad", 0, 'h', "50 _wfsopen LockFileEx+ WriteFile"},
    {"lockFailsOtherwise", 10000, 'x', "0 _wfsopen LockFileEx WriteFile"},
};

class LogLock : public test_support::MachineFixture {};

TEST_F(LogLock, EachLineWaitsBoundedForTheOtherWriters) {
    ssolog::DebugLog log(L"session.log");
    platform::UniqueHandle peer;
    OVERLAPPED at = {0, 0, {{0, 0x7FFFFFFF}}, nullptr};
    const std::regex fileCall("_wfsopen|WriteFile|(Unl|L)ockFileEx");
    for (const Row& row : kRows) {
        winsim::AdvanceMs(row.msLater);
        if (!peer.Valid())  // the file exists once a line is written
            *peer.Receive() = CreateFileW(kSessionLog, GENERIC_READ, FILE_SHARE_READ |
                                          FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
        if (row.peer == 'h') LockFileEx(peer.Get(), LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at);
        if (row.peer == 'x') winsim::FailCall("LockFileEx", ERROR_ACCESS_DENIED, 1);
        if (row.peer == 'c') winsim::FailCall("LockFileEx", ERROR_LOCK_VIOLATION, 1);
        const std::size_t first = winsim::CallLog().size();
        const DWORD start = timeGetTime();
        log.WriteLine(L"x", nullptr);
        std::string seen = std::to_string(timeGetTime() - start);
        const std::vector<std::string> calls = winsim::CallLog();
        for (auto call = calls.begin() + first; call != calls.end(); ++call)
            if (std::regex_match(*call, fileCall)) seen += " " + *call;
        EXPECT_EQ(std::regex_replace(seen, std::regex("( LockFileEx){2,}"), " LockFileEx+"),
                  row.waitedAndCalls) << row.name;
        if (row.peer == 'h') UnlockFileEx(peer.Get(), 0, 1, 0, &at);
    }
    EXPECT_EQ(LoggedTexts(), std::vector<std::string>(std::size(kRows), "x,"));
}

}  // namespace
