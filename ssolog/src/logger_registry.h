// The process-wide map from module handle to logger, its lock and the default logger.
#pragma once

#include "debug_log.h"

#include <platform/win32_raii.h>

#include <cstdint>
#include <map>
#include <memory>

namespace ssolog {

// Module handles ordered as unsigned pointer-sized numbers.
struct ModuleOrder {
    bool operator()(HMODULE left, HMODULE right) const {
        return reinterpret_cast<uintptr_t>(left) < reinterpret_cast<uintptr_t>(right);
    }
};

// Owns the registered loggers; destroys them in ascending key order.
class LoggerMap {
public:
    using Entries = std::map<HMODULE, std::unique_ptr<DebugLog>, ModuleOrder>;
    LoggerMap() = default;
    ~LoggerMap();
    LoggerMap(const LoggerMap&) = delete;
    LoggerMap& operator=(const LoggerMap&) = delete;
    Entries entries;
};

// Members are built in the order map, default logger, lock and torn down in reverse.
// Once the destructor has begun, Alive() is false and traces are dropped: the
// library's backend is destroyed after this object and may still trace.
class LoggerRegistry {
public:
    LoggerRegistry();
    ~LoggerRegistry();
    LoggerRegistry(const LoggerRegistry&) = delete;
    LoggerRegistry& operator=(const LoggerRegistry&) = delete;

    static bool Alive();
    CRITICAL_SECTION& Lock() { return lock_; }
    // The logger registered for `module`, else the default logger. Lock held.
    DebugLog& Resolve(HMODULE module);
    LoggerMap::Entries& Entries() { return loggers_.entries; }

private:
    LoggerMap loggers_;
    DebugLog defaultLogger_;
    CRITICAL_SECTION lock_;
};

LoggerRegistry& TheRegistry();

// A counted reference to the module holding ssolog's code; null when it cannot be had.
HMODULE OwnModule();

// Runs use(logger) with the logger of the calling code's module, holding the registry
// lock for the whole call. Does nothing while the registry does not exist.
template <class Use>
void WithModuleLogger(Use&& use) {
    if (!LoggerRegistry::Alive()) return;
    LoggerRegistry& registry = TheRegistry();
    platform::CriticalSectionGuard guard(registry.Lock());
    platform::ModuleReference module(OwnModule());
    use(registry.Resolve(module.Get()));
}

}  // namespace ssolog
