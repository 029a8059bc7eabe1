// At unload the backend outlives the logger statics: it is destroyed after them.
#include "dll_main.h"
#include "environment.h"
#include "rdp_ctrl.h"
#include <test_support/library_fixture.h>

#include <ssolog/trace.h>

#include <cstdio>
#include <cstdlib>

namespace sessionctrl_test {
namespace {

using namespace test_support;

unsigned g_deletionsAtDetach = 0;

// Reports, as it dies, how many critical sections static destruction had deleted by
// then: the logger registry's lock and the default logger's lock come first.
class ReportingBackend : public sessionctrl::RDPCtrl {
public:
    ~ReportingBackend() override {
        std::fprintf(stderr, "locks deleted before the backend: %u\n",
                     winsim::CallCount("DeleteCriticalSection") - g_deletionsAtDetach);
        std::fflush(stderr);
    }
};

class UnloadOrderTest : public LibraryFixture {};

void TraceDetachAndExit() {
    sessionctrl::InstallBackend(new ReportingBackend);
    ASSERT_TRUE(sessionctrl::EnsureBackend());
    ssolog::TraceMessage(L"before unload");
    DllMain(nullptr, DLL_PROCESS_DETACH, nullptr);
    g_deletionsAtDetach = winsim::CallCount("DeleteCriticalSection");
    std::exit(0);
}

TEST_F(UnloadOrderTest, BackendIsDestroyedAfterTheLoggerStatics) {
    EXPECT_EXIT(TraceDetachAndExit(), ::testing::ExitedWithCode(0),
                "locks deleted before the backend: [2-9]");
}

}  // namespace
}  // namespace sessionctrl_test
