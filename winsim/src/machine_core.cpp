// The machine object, Reset, the call log with fault injection, misuse and accounting.
#include "machine_state.h"

#include <cwctype>
#include <sstream>
#include <string_view>

#include <unistd.h>

namespace winsim::detail {

namespace {

std::recursive_mutex& MachineMutex() {
    static std::recursive_mutex* mutex = new std::recursive_mutex;  // outlives static teardown
    return *mutex;
}

Machine& MachineObject() {
    static Machine* machine = [] {
        auto* fresh = new Machine;  // outlives static teardown: modules unload late
        ResetClock(*fresh);
        ResetModules(*fresh);
        return fresh;
    }();
    return *machine;
}

}  // namespace

Guard Lock() { return Guard(MachineMutex()); }

Machine& State() { return MachineObject(); }

std::optional<DWORD> Enter(const char* function) {
    Guard guard = Lock();
    Machine& m = State();
    if (m.callLog.size() < kCallLogLimit) m.callLog.push_back(function);
    // Found by string_view: only a function's first call builds a key.
    auto count = m.callCounts.find(std::string_view(function));
    if (count == m.callCounts.end()) count = m.callCounts.emplace(function, 0).first;
    ++count->second;
    auto fault = m.faults.find(std::string_view(function));
    if (fault == m.faults.end()) return std::nullopt;
    if (fault->second.nth == 0) return fault->second.error;
    if (++fault->second.seen != fault->second.nth) return std::nullopt;
    DWORD error = fault->second.error;
    m.faults.erase(fault);
    return error;
}

void RecordMisuse(const std::string& what) { State().misuses.push_back(what); }

void* NewHandleValue() {
    Machine& m = State();
    m.nextHandle += 4;
    return reinterpret_cast<void*>(m.nextHandle);
}

DWORD CurrentThreadIdLocked() {
    Machine& m = State();
    auto [it, added] = m.threadIds.emplace(std::this_thread::get_id(), 0);
    if (added) {
        it->second = m.nextThreadId;
        m.nextThreadId += 4;
    }
    return it->second;
}

std::wstring EffectiveUserLocked() {
    Machine& m = State();
    auto it = m.impersonating.find(std::this_thread::get_id());
    return it != m.impersonating.end() ? it->second : m.processUser;
}

std::wstring SidOfLocked(const std::wstring& user) {
    auto it = State().users.find(Upper(user));
    return it != State().users.end() ? it->second.sid : std::wstring();
}

std::wstring Upper(const std::wstring& text) {
    std::wstring result(text);
    for (auto& c : result) c = static_cast<wchar_t>(std::towupper(static_cast<wint_t>(c)));
    return result;
}

}  // namespace winsim::detail

namespace winsim {

using namespace detail;

void Reset() {
    Guard guard = Lock();
    Machine& m = State();
    Machine fresh;
    // Kept: the file root, the host modules and the live critical sections.
    fresh.fileRoot = std::move(m.fileRoot);
    fresh.modules = std::move(m.modules);
    fresh.liveSections = std::move(m.liveSections);
    for (auto& [impl, memory] : m.wtsBuffers) std::free(impl);
    for (void* block : m.localBlocks) std::free(block);
    for (auto& [handle, entry] : m.handles) {
        if (entry.fd >= 0) ::close(entry.fd);
    }
    m = std::move(fresh);
    m.users[Upper(L"alice")] = {L"alice", L"S-1-5-21-1000-2000-3000-1001"};
    ResetClock(m);
    ResetModules(m);
}

void FailCall(const std::string& function, DWORD error, unsigned nth) {
    Guard guard = Lock();
    State().faults[function] = Fault{error, nth, 0};
}

void ClearFaults() {
    Guard guard = Lock();
    State().faults.clear();
}

unsigned CallCount(const std::string& function) {
    Guard guard = Lock();
    auto it = State().callCounts.find(function);
    return it != State().callCounts.end() ? it->second : 0;
}

std::vector<std::string> CallLog() {
    Guard guard = Lock();
    const auto& log = State().callLog;
    return std::vector<std::string>(log.begin(), log.end());
}

std::vector<std::string> Misuses() {
    Guard guard = Lock();
    return State().misuses;
}

Outstanding CountOutstanding() {
    Guard guard = Lock();
    Machine& m = State();
    Outstanding o;
    o.buffers = static_cast<long>(m.wtsBuffers.size());
    o.handles = static_cast<long>(m.handles.size());
    o.keys = static_cast<long>(m.keys.size());
    for (auto& [handle, module] : m.modules) {
        if (!module.builtin) o.moduleReferences += module.references - module.referencesAtReset;
    }
    o.criticalSections = static_cast<long>(m.sectionsSinceReset.size());
    o.localAllocations = static_cast<long>(m.localBlocks.size());
    o.impersonations = static_cast<long>(m.impersonating.size());
    for (SectionImpl* section : m.liveSections) o.lockedSections += section->recursion;
    for (auto& [id, open] : m.opens) {
        if (open.stream) ++o.openFiles;
    }
    o.fileLocks = m.fileLocks;
    return o;
}

bool Outstanding::operator==(const Outstanding& other) const {
    return buffers == other.buffers && handles == other.handles && keys == other.keys &&
           moduleReferences == other.moduleReferences &&
           criticalSections == other.criticalSections &&
           localAllocations == other.localAllocations &&
           impersonations == other.impersonations && lockedSections == other.lockedSections &&
           openFiles == other.openFiles && fileLocks == other.fileLocks;
}

std::string Outstanding::Describe() const {
    const std::pair<long, const char*> parts[] = {
        {buffers, "buffer"},
        {handles, "handle"},
        {keys, "key"},
        {moduleReferences, "module reference"},
        {criticalSections, "critical section"},
        {localAllocations, "local allocation"},
        {impersonations, "impersonation"},
        {lockedSections, "locked section"},
        {openFiles, "open file"},
        {fileLocks, "file lock"},
    };
    std::ostringstream text;
    for (auto& [count, noun] : parts) {
        if (count == 0) continue;
        if (text.tellp() > 0) text << ", ";
        text << count << ' ' << noun << (count == 1 || count == -1 ? "" : "s");
    }
    return text.tellp() > 0 ? text.str() : "nothing";
}

}  // namespace winsim
