// Static teardown: the registry lock, the default logger and then the registered
// loggers go away at exit, each logger writing out what it held; traces made after
// that (the library's backend is destroyed later and traces from its destructor) are
// dropped without touching what is gone. The checks run in an object destroyed after
// the registry, so a failure ends the test process with a nonzero status.
#include "log_test_support.h"

#include <ssolog/trace.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace ssolog_test {
namespace {

class LateTracer {
public:
    ~LateTracer() {
        if (!armed_) return;
        ssolog::TraceMessage(L"after teardown");
        { ssolog::TraceScope scope(L"late scope"); }
        ssolog::TraceNumberNarrow("late number", 1);
        ssolog::RegisterModuleLogger();
        ssolog::UnregisterModuleLogger();
        Check(!ssolog::IsTraceEnabled(), "IsTraceEnabled answered true after teardown");
        Check(winsim::Misuses().empty(), "a destroyed lock or logger was used");
        Check(winsim::CountOutstanding().lockedSections == 0, "a lock was left entered");
        Check(Contains(L"D:\\Logs\\DebugSSO\\kwarden.log", "held by default,"),
              "the default logger did not write out its held line");
        Check(Contains(L"D:\\Logs\\DebugSSO\\session.log", "held by module,"),
              "the registered logger did not write out its held line");
        Check(!Contains(L"D:\\Logs\\DebugSSO\\kwarden.log", "after teardown") &&
                  !Contains(L"D:\\Logs\\DebugSSO\\session.log", "after teardown"),
              "a trace after teardown reached a file");
        std::error_code ignored;
        std::filesystem::remove_all(root_, ignored);
        if (failed_) std::_Exit(1);
    }

    void Arm(const std::string& root) {
        armed_ = true;
        root_ = root;
    }

private:
    void Check(bool ok, const char* what) {
        if (ok) return;
        std::fprintf(stderr, "teardown check failed: %s\n", what);
        failed_ = true;
    }
    static bool Contains(const std::wstring& windowsPath, const std::string& text) {
        return ReadBytes(windowsPath).find(text) != std::string::npos;
    }

    bool armed_ = false;
    bool failed_ = false;
    std::string root_;
};

// Built before, and so destroyed after, every object of default priority, the logger
// registry included.
__attribute__((init_priority(101))) LateTracer g_lateTracer;

class TeardownTest : public LogTest {
protected:
    // The file root must outlive the test: the checks run at exit.
    void TearDown() override {}
};

TEST_F(TeardownTest, HeldLinesAreWrittenAndLaterTracesDropped) {
    AssertFirstUseInProcess();
    SwitchOn();
    winsim::FailCall("_wfsopen", ERROR_SHARING_VIOLATION);
    ssolog::TraceMessage(L"held by default");
    ssolog::RegisterModuleLogger();
    ssolog::TraceMessage(L"held by module");
    winsim::ClearFaults();
    EXPECT_FALSE(Exists(InLogDir(L"kwarden.log")));
    EXPECT_FALSE(Exists(InLogDir(L"session.log")));
    g_lateTracer.Arm(Root());
}

}  // namespace
}  // namespace ssolog_test
