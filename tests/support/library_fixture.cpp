#include "test_support/library_fixture.h"

#include <dll_main.h>
#include <environment.h>

namespace test_support {

void LibraryFixture::SetUp() {
    MachineFixture::SetUp();
    if (HasFatalFailure()) return;
    library_ = LibraryModule();
    ASSERT_EQ(DllMain(library_, DLL_PROCESS_ATTACH, nullptr), TRUE);
    ASSERT_EQ(sessionctrl::ModuleInstance(), library_);
    attached_ = winsim::CountOutstanding();
}

HMODULE LibraryFixture::LibraryModule() {
    static HINSTANCE__ instance{};
    return &instance;
}

void LibraryFixture::TearDown() {
    EXPECT_EQ(winsim::CountOutstanding(), attached_)
        << "before detach: " << winsim::CountOutstanding().Describe()
        << "\nafter attach: " << attached_.Describe();
    EXPECT_EQ(DllMain(library_, DLL_PROCESS_DETACH, nullptr), TRUE);
    MachineFixture::TearDown();
}

}  // namespace test_support
