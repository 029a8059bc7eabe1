// Shared by the winsim tests: fixtures over a freshly reset machine and a session builder.
#pragma once

#include <winsim/machine.h>

#include <gtest/gtest.h>

// Each test starts on a freshly reset machine.
class FreshMachine : public ::testing::Test {
protected:
    void SetUp() override { winsim::Reset(); }
};

// ... and must give back everything it took.
class LeakCheckedMachine : public FreshMachine {
protected:
    void TearDown() override { EXPECT_EQ(winsim::CountOutstanding(), winsim::Outstanding{}); }
};

// A scripted session; the remaining fields keep their defaults.
inline winsim::SessionSpec MakeSession(DWORD id, const std::wstring& station, const std::wstring& user,
                                       const std::wstring& domain,
                                       WTS_CONNECTSTATE_CLASS state = WTSActive) {
    winsim::SessionSpec session;
    session.id = id;
    session.station = station;
    session.user = user;
    session.domain = domain;
    session.state = state;
    return session;
}
