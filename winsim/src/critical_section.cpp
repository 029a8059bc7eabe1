// Critical sections: a real recursive mutex each, with ownership tracked for accounting.
#include "machine_state.h"

using namespace winsim;
using namespace winsim::detail;

namespace {

SectionImpl* ImplOf(LPCRITICAL_SECTION section) {
    return section != nullptr ? static_cast<SectionImpl*>(section->Impl) : nullptr;
}

// Null when `section` was never initialised (or was deleted): a misuse, recorded.
SectionImpl* LiveImpl(LPCRITICAL_SECTION section, const char* function) {
    SectionImpl* impl = ImplOf(section);
    if (impl == nullptr || State().liveSections.count(impl) == 0) {
        RecordMisuse(std::string(function) + " on a critical section that is not initialised");
        return nullptr;
    }
    return impl;
}

void Mirror(LPCRITICAL_SECTION section, const SectionImpl& impl) {
    section->RecursionCount = impl.recursion;
    section->LockCount = impl.recursion > 0 ? 0 : -1;
    section->OwningThread = reinterpret_cast<HANDLE>(static_cast<uintptr_t>(impl.owner));
}

}  // namespace

extern "C" void InitializeCriticalSection(LPCRITICAL_SECTION section) {
    Enter("InitializeCriticalSection");
    auto* impl = new SectionImpl;
    Guard guard = Lock();
    State().liveSections.insert(impl);
    State().sectionsSinceReset.insert(impl);
    section->Impl = impl;
    Mirror(section, *impl);
}

extern "C" void EnterCriticalSection(LPCRITICAL_SECTION section) {
    Enter("EnterCriticalSection");
    SectionImpl* impl = nullptr;
    {
        Guard guard = Lock();
        impl = LiveImpl(section, "EnterCriticalSection");
    }
    if (impl == nullptr) return;
    impl->mutex.lock();  // may block: never with the machine lock held
    Guard guard = Lock();
    impl->owner = CurrentThreadIdLocked();
    ++impl->recursion;
    Mirror(section, *impl);
}

extern "C" void LeaveCriticalSection(LPCRITICAL_SECTION section) {
    Enter("LeaveCriticalSection");
    Guard guard = Lock();
    SectionImpl* impl = LiveImpl(section, "LeaveCriticalSection");
    if (impl == nullptr) return;
    if (impl->recursion == 0 || impl->owner != CurrentThreadIdLocked()) {
        RecordMisuse("LeaveCriticalSection by a thread that does not own the section");
        return;
    }
    if (--impl->recursion == 0) impl->owner = 0;
    Mirror(section, *impl);
    impl->mutex.unlock();
}

extern "C" void DeleteCriticalSection(LPCRITICAL_SECTION section) {
    Enter("DeleteCriticalSection");
    Guard guard = Lock();
    SectionImpl* impl = LiveImpl(section, "DeleteCriticalSection");
    if (impl == nullptr) return;
    if (impl->recursion != 0) {
        RecordMisuse("DeleteCriticalSection on a section still entered");
        return;  // keep it: destroying a locked mutex is undefined
    }
    State().liveSections.erase(impl);
    State().sectionsSinceReset.erase(impl);
    section->Impl = nullptr;
    delete impl;
}
