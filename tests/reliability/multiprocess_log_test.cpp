// Two processes appending to one "session.log" across its move to the backup. Lines
// can be lost by design (one backup generation; a size check skipped while the other
// writer holds the file), so the loss is measured and printed, not required to be zero;
// what must hold is that no line is torn and each writer's lines keep their order.
#include "log_lines.h"
#include "sweep_machine.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace reliability {
namespace {

constexpr int kWriters = 2;
constexpr int kLinesPerWriter = 3000;
// Each writer's clock spans 15 s, so its size check comes due once more after its first
// line, with the file then past the limit.
constexpr const char* kMsPerLine = "5";
constexpr const char* kSizeLimit = "262144";

pid_t StartWriter(const std::string& root, int writer) {
    const pid_t child = fork();
    if (child == 0) {
        const std::string number = std::to_string(writer);
        const std::string lines = std::to_string(kLinesPerWriter);
        execl(RELIABILITY_LOG_APPENDER, RELIABILITY_LOG_APPENDER, root.c_str(), number.c_str(),
              lines.c_str(), kMsPerLine, kSizeLimit, static_cast<char*>(nullptr));
        _exit(127);
    }
    return child;
}

class MultiProcessLogTest : public testing::Test {
protected:
    TempDirectory files_;
};

TEST_F(MultiProcessLogTest, TwoWritersAcrossARotationTearNoLine) {
    std::vector<pid_t> writers;
    for (int w = 0; w < kWriters; ++w) writers.push_back(StartWriter(files_.path(), w));
    for (pid_t writer : writers) {
        int status = 0;
        ASSERT_EQ(waitpid(writer, &status, 0), writer);
        ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
    }
    winsim::SetFileRoot(files_.path());
    const std::string log = winsim::HostPath(kSessionLog);
    const LogContent content = ReadLog({log + ".bak", log});
    EXPECT_EQ(content.torn, 0u);

    std::map<long, std::vector<long>> numbers;
    for (const LogLine& line : content.lines) {
        long pid = line.pid, n = -1;
        ASSERT_EQ(std::sscanf(line.text.c_str(), "P%*d, %ld", &n), 1) << line.text;
        numbers[pid].push_back(n);
    }
    std::size_t found = 0;
    for (int w = 0; w < kWriters; ++w) {
        const auto& mine = numbers[20000 + w];
        for (std::size_t i = 1; i < mine.size(); ++i)
            ASSERT_LT(mine[i - 1], mine[i]) << "writer " << w << " out of order";
        ASSERT_LE(mine.size(), static_cast<std::size_t>(kLinesPerWriter));
        found += mine.size();
    }
    const std::size_t written = static_cast<std::size_t>(kWriters) * kLinesPerWriter;
    EXPECT_GT(found, 0u);
    std::printf("MULTIPROCESS writers=%d written=%zu found=%zu lost=%zu torn=%zu\n", kWriters,
                written, found, written - found, content.torn);
}

}  // namespace
}  // namespace reliability
