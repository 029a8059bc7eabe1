// A fresh simulated machine for every test: files under a temporary root, logging on into
// C:\Logs\DebugSSO, and at the end a check that the test gave back everything it took.
#pragma once

#include <platform/win32.h>
#include <winsim/machine.h>

#include <gtest/gtest.h>

#include <cstddef>
#include <string>
#include <vector>

namespace test_support {

inline constexpr const wchar_t* kLogKey =
    L"SOFTWARE\\Corvane Systems K.K.\\Corvane Keywarden\\SSOLog";
inline constexpr const wchar_t* kSessionLog = L"C:\\Logs\\DebugSSO\\session.log";
inline constexpr const wchar_t* kDefaultLog = L"C:\\Logs\\DebugSSO\\kwarden.log";

// Marks a product installed the way tessark reads it (DWORD 1).
void InstallProduct(const wchar_t* product);
void SwitchTracingOff();

// The text part ("text, detail") of every line of a log file from line `skip` on; a line
// without the usual header is kept whole so that it shows up in comparisons.
std::vector<std::string> TraceEntries(const wchar_t* logFile = kSessionLog,
                                      std::size_t skip = 0);
bool LogExists(const wchar_t* logFile);

// Names a parameterised case after its row's `name`.
struct RowName {
    template <class Row>
    std::string operator()(const testing::TestParamInfo<Row>& row) const {
        return row.param.name;
    }
};

class MachineFixture : public testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // session.log since the last ForgetLog: a whole transcript to compare at once.
    std::vector<std::string> LoggedTexts() const { return TraceEntries(kSessionLog, forgotten_); }
    void ForgetLog() { forgotten_ = TraceEntries().size(); }

    // What must be outstanding again when the test ends.
    winsim::Outstanding baseline_;

private:
    std::string fileRoot_;
    std::size_t forgotten_ = 0;
};

}  // namespace test_support
