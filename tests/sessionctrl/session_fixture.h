// A fresh simulated machine with logging on, the library attached as a module, and a
// check that the test gave back every resource it made the library take.
#pragma once

#include "dll_main.h"
#include "environment.h"
#include "trace_log.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace sessionctrl_test {

// Bytes of a client-address record: family, then the 20 address bytes.
std::vector<BYTE> AddressRecord(DWORD family, const std::vector<BYTE>& address);

class SessionFixture : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    winsim::Outstanding baseline_;
};

}  // namespace sessionctrl_test
