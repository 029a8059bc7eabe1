// Held-back lines, the destructor's last flush, the size check and the ".bak" backup.
#include "log_test_support.h"

#include "debug_log.h"

#include <platform/win32_raii.h>

#include <memory>
#include <string>
#include <tuple>
#include <vector>

namespace ssolog_test {
namespace {

std::vector<std::string> Numbered(const std::string& prefix, int from, int to) {
    std::vector<std::string> parts;
    for (int i = from; i < to; ++i) parts.push_back(prefix + std::to_string(i) + ",");
    return parts;
}

class HeldLinesTest : public LogTest {
protected:
    void SetUp() override {
        LogTest::SetUp();
        SwitchOn();
        log_ = std::make_unique<ssolog::DebugLog>(L"session.log");
    }
    void Write(const std::string& text) {
        const std::wstring wide(text.begin(), text.end());
        log_->WriteLine(wide.c_str(), nullptr);
    }
    std::unique_ptr<ssolog::DebugLog> log_;
};

TEST_F(HeldLinesTest, NewestHundredAreWrittenInOrderBeforeTheLineThatSucceeds) {
    winsim::FailCall("_wfsopen", ERROR_SHARING_VIOLATION);
    for (int i = 0; i < 150; ++i) Write("line " + std::to_string(i));
    EXPECT_FALSE(Exists(InLogDir(L"session.log")));

    winsim::ClearFaults();
    Write("now");
    std::vector<std::string> expected = Numbered("line ", 50, 150);
    expected.push_back("now,");
    EXPECT_EQ(TextParts(InLogDir(L"session.log")), expected);

    // Written once: the next line comes alone.
    Write("after");
    EXPECT_EQ(TextParts(InLogDir(L"session.log")).size(), 102u);
}

TEST_F(HeldLinesTest, WhileOffNothingIsWrittenNorHeldAndHeldLinesWait) {
    winsim::FailCall("_wfsopen", ERROR_SHARING_VIOLATION);
    Write("held");
    SetOutputLog(0);
    AdvanceSeconds(10);
    winsim::ClearFaults();
    Write("while off");
    EXPECT_FALSE(Exists(InLogDir(L"session.log")));

    SetOutputLog(1);
    AdvanceSeconds(2);
    Write("back on");
    EXPECT_EQ(TextParts(InLogDir(L"session.log")),
              (std::vector<std::string>{"held,", "back on,"}));
}

TEST_F(HeldLinesTest, DestructorWritesOutHeldLines) {
    winsim::FailCall("_wfsopen", ERROR_SHARING_VIOLATION);
    Write("a");
    Write("b");
    winsim::ClearFaults();
    log_.reset();
    EXPECT_EQ(TextParts(InLogDir(L"session.log")), (std::vector<std::string>{"a,", "b,"}));
    EXPECT_EQ(winsim::CountOutstanding().openFiles, 0);
}

TEST_F(HeldLinesTest, DestructorWithNothingHeldOpensNothing) {
    Write("a");
    const unsigned opens = winsim::CallCount("_wfsopen");
    log_.reset();
    EXPECT_EQ(winsim::CallCount("_wfsopen"), opens);
}

// The flush takes the directory as it is now: after a switch to off it is empty, so
// the path is "\session.log", which names no drive, and the old directory stays clean.
TEST_F(HeldLinesTest, DestructorUsesTheCurrentDirectory) {
    winsim::FailCall("_wfsopen", ERROR_SHARING_VIOLATION);
    Write("held");
    SetOutputLog(0);
    AdvanceSeconds(10);
    Write("refresh only");
    winsim::ClearFaults();
    const unsigned opens = winsim::CallCount("_wfsopen");
    log_.reset();
    EXPECT_EQ(winsim::CallCount("_wfsopen"), opens + 1);
    EXPECT_FALSE(Exists(InLogDir(L"session.log")));
}

class RotationTest : public LogTest {
protected:
    static constexpr const char* kEarlier = "0123456789\r\n";  // 12 bytes already there
    // What one WriteLine(L"x", nullptr) adds at reset time.
    static size_t LineBytes() { return std::string(kResetHeader).size() + std::string("x,\r\n").size(); }
    static std::wstring LogPath() { return InLogDir(L"session.log"); }
    static std::wstring BackupPath() { return InLogDir(L"session.log.bak"); }
};

// limit relative to the file size after the write, and whether it moves
class RotationLimitTest : public RotationTest,
                          public ::testing::WithParamInterface<std::pair<int, bool>> {};

TEST_P(RotationLimitTest, FileMovesAtExactlyTheLimit) {
    const auto [offset, moves] = GetParam();
    WriteBytes(LogPath(), kEarlier);
    SwitchOn();
    const size_t after = std::string(kEarlier).size() + LineBytes();
    SetSizeLimit(static_cast<DWORD>(static_cast<int>(after) + offset));
    ssolog::DebugLog log(L"session.log");
    log.WriteLine(L"x", nullptr);
    EXPECT_EQ(Exists(BackupPath()), moves);
    EXPECT_EQ(Exists(LogPath()), !moves);
    EXPECT_EQ(ReadBytes(moves ? BackupPath() : LogPath()).size(), after);
}

INSTANTIATE_TEST_SUITE_P(Limits, RotationLimitTest,
                         ::testing::Values(std::make_pair(0, true), std::make_pair(-1, true),
                                           std::make_pair(1, false)));

// The default limit is 10 MiB, and a zero limit means that default, not zero bytes:
// whether zero is set, how far short of 10 MiB the file is after the write, whether it moves.
class DefaultLimitTest : public RotationTest,
                         public ::testing::WithParamInterface<std::tuple<bool, size_t, bool>> {};

TEST_P(DefaultLimitTest, FileMovesAtTenMebibytes) {
    const auto [zeroSet, shortBy, moves] = GetParam();
    WriteBytes(LogPath(), std::string(10485760 - LineBytes() - 1 - shortBy, 'a') + "\n");
    SwitchOn();
    if (zeroSet) SetSizeLimit(0);
    ssolog::DebugLog log(L"session.log");
    log.WriteLine(L"x", nullptr);
    EXPECT_EQ(Exists(BackupPath()), moves);
    EXPECT_EQ(Exists(LogPath()), !moves);
    EXPECT_EQ(ReadBytes(moves ? BackupPath() : LogPath()).size(), 10485760u - shortBy);
}

INSTANTIATE_TEST_SUITE_P(Limits, DefaultLimitTest,
                         ::testing::Values(std::make_tuple(false, size_t{0}, true),
                                           std::make_tuple(true, size_t{1}, false),
                                           std::make_tuple(true, size_t{0}, true)));

TEST_F(RotationTest, OneBackupGenerationIsReplaced) {
    WriteBytes(BackupPath(), "older backup\r\n");
    SwitchOn();
    SetSizeLimit(1);
    ssolog::DebugLog log(L"session.log");
    log.WriteLine(L"x", nullptr);
    EXPECT_EQ(TextParts(BackupPath()), std::vector<std::string>{"x,"});
    EXPECT_FALSE(Exists(LogPath()));
    EXPECT_FALSE(Exists(InLogDir(L"session.log.bak.bak")));
}

TEST_F(RotationTest, SizeIsCheckedAtMostEveryTenSeconds) {
    SwitchOn();
    SetSizeLimit(1);
    ssolog::DebugLog log(L"session.log");
    log.WriteLine(L"t0", nullptr);  // first check: moved at once
    AdvanceSeconds(9);
    log.WriteLine(L"t9", nullptr);
    EXPECT_EQ(TextParts(LogPath()), std::vector<std::string>{"t9,"});
    AdvanceSeconds(1);
    log.WriteLine(L"t10", nullptr);
    EXPECT_FALSE(Exists(LogPath()));
    EXPECT_EQ(TextParts(BackupPath()), (std::vector<std::string>{"t9,", "t10,"}));
    EXPECT_EQ(winsim::CountOutstanding().handles, 0);
}

TEST_F(RotationTest, AFailedCheckStillWaitsForTheNextPeriod) {
    SwitchOn();
    SetSizeLimit(1);
    ssolog::DebugLog log(L"session.log");
    winsim::FailCall("CreateFileW", ERROR_SHARING_VIOLATION, 1);
    log.WriteLine(L"t0", nullptr);
    AdvanceSeconds(5);
    log.WriteLine(L"t5", nullptr);
    EXPECT_EQ(winsim::CallCount("CreateFileW"), 1u);
    EXPECT_FALSE(Exists(BackupPath()));
    AdvanceSeconds(5);
    log.WriteLine(L"t10", nullptr);
    EXPECT_EQ(TextParts(BackupPath()), (std::vector<std::string>{"t0,", "t5,", "t10,"}));
}

// Another writer shares the file: lines still go in, but the size check (read sharing
// only) is skipped while that writer has it open.
TEST_F(RotationTest, AnotherWriterSharesTheFileAndDefersTheCheck) {
    WriteBytes(LogPath(), kEarlier);
    SwitchOn();
    SetSizeLimit(1);
    ssolog::DebugLog log(L"session.log");
    {
        platform::UniqueHandle other(CreateFileW(LogPath().c_str(), GENERIC_WRITE,
                                                 FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        ASSERT_TRUE(other.Valid());
        log.WriteLine(L"x", nullptr);
    }
    EXPECT_FALSE(Exists(BackupPath()));
    EXPECT_EQ(ReadBytes(LogPath()), std::string(kEarlier) + kResetHeader + "x,\r\n");
}

}  // namespace
}  // namespace ssolog_test
