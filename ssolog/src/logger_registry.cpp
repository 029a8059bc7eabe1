// The logger registry and the registration of the library's own "session.log".
#include "logger_registry.h"

#include <ssolog/trace.h>

#include <atomic>

namespace ssolog {

namespace {

// Constant-initialised and never destroyed, so it can be asked before the registry is
// built and after it is gone.
std::atomic<bool> g_registryAlive{false};

LoggerRegistry g_registry;

}  // namespace

LoggerMap::~LoggerMap() {
    for (auto& entry : entries) entry.second.reset();
    entries.clear();
}

LoggerRegistry::LoggerRegistry() : loggers_(), defaultLogger_(nullptr) {
    InitializeCriticalSection(&lock_);
    g_registryAlive.store(true);
}

LoggerRegistry::~LoggerRegistry() {
    {
        // Waits for a trace in progress; later ones see the flag and stay away.
        platform::CriticalSectionGuard guard(lock_);
        g_registryAlive.store(false);
    }
    DeleteCriticalSection(&lock_);
}

bool LoggerRegistry::Alive() { return g_registryAlive.load(); }

DebugLog& LoggerRegistry::Resolve(HMODULE module) {
    const auto found = loggers_.entries.find(module);
    if (found != loggers_.entries.end() && found->second) return *found->second;
    return defaultLogger_;
}

LoggerRegistry& TheRegistry() { return g_registry; }

HMODULE OwnModule() {
    HMODULE module = nullptr;
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                            reinterpret_cast<LPCWSTR>(reinterpret_cast<const void*>(&OwnModule)),
                            &module)) {
        return nullptr;
    }
    return module;
}

void RegisterModuleLogger() {
    if (!LoggerRegistry::Alive()) return;
    platform::CriticalSectionGuard guard(g_registry.Lock());
    try {
        auto logger = std::make_unique<DebugLog>(L"session.log");
        platform::ModuleReference module(OwnModule());
        // A second registration keeps the first logger; the new one is deleted after
        // the module reference is given back.
        g_registry.Entries().try_emplace(module.Get(), std::move(logger));
    } catch (...) {
        // Out of memory: the default logger serves the library.
    }
}

void UnregisterModuleLogger() {
    if (!LoggerRegistry::Alive()) return;
    platform::CriticalSectionGuard guard(g_registry.Lock());
    platform::ModuleReference module(OwnModule());
    auto& entries = g_registry.Entries();
    const auto found = entries.find(module.Get());
    if (found == entries.end()) return;
    // The logger's destructor writes out its held-back lines.
    found->second.reset();
    entries.erase(found);
}

}  // namespace ssolog
