// The machine of MachineFixture with the library attached. Whatever a test takes must be back both before the detach and,
// counted from before the attach, after it.
#pragma once

#include "test_support/machine_fixture.h"

namespace test_support {

inline constexpr const wchar_t* kLibraryDirectory = L"C:\\Program Files\\Corvane Keywarden\\";

class LibraryFixture : public MachineFixture {
protected:
    void SetUp() override;
    void TearDown() override;
    // The instance the library is attached as: by default one the machine does not know;
    // a group that needs its module directory registers a module instead.
    virtual HMODULE LibraryModule();

private:
    HMODULE library_ = nullptr;
    winsim::Outstanding attached_;
};

}  // namespace test_support
