// The registry's map gives its loggers up in ascending order of module handle.
#include "log_test_support.h"

#include "logger_registry.h"

#include <memory>
#include <vector>

namespace ssolog_test {
namespace {

class RecordingLog : public ssolog::DebugLog {
public:
    RecordingLog(std::vector<uintptr_t>& destroyed, uintptr_t key)
        : DebugLog(nullptr), destroyed_(destroyed), key_(key) {}
    ~RecordingLog() override { destroyed_.push_back(key_); }

private:
    std::vector<uintptr_t>& destroyed_;
    uintptr_t key_;
};

class LoggerMapTest : public LogTest {};

TEST_F(LoggerMapTest, LoggersAreDestroyedInAscendingKeyOrder) {
    std::vector<uintptr_t> destroyed;
    {
        ssolog::LoggerMap map;
        for (uintptr_t key : {0x30, 0x10, 0x40, 0x20, 0x50}) {
            map.entries.emplace(reinterpret_cast<HMODULE>(key),
                                std::make_unique<RecordingLog>(destroyed, key));
        }
    }
    EXPECT_EQ(destroyed, (std::vector<uintptr_t>{0x10, 0x20, 0x30, 0x40, 0x50}));
    EXPECT_EQ(winsim::CountOutstanding().criticalSections, 0);
}

}  // namespace
}  // namespace ssolog_test
