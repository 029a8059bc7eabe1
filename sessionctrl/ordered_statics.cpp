// The module's statics whose load and unload order matters, defined in this one file so
// that the language orders them: the VMware server-name caches, then the backend slot.
// Both come ahead of every ordinary static (ssolog's logger registry and default logger
// among them) and so are destroyed after them, the module's load and unload order: the
// backend is deleted once the loggers are gone, and the names outlive the backend. What
// a backend's destructor traces then (the Citrix one releases its library under a trace
// scope) is dropped by the log. Toolchains run the files' initialisers in link order,
// ELF and PE in opposite directions, so the file is put ahead explicitly: GCC's
// init_priority, Microsoft's init_seg(lib) (before the user segment).
#include "ordered_statics.h"

#if defined(_MSC_VER)
// C4073 says that initialisers go to the library's segment, which is the point here; it
// is a warning, so an error under /WX.
#pragma warning(push)
#pragma warning(disable : 4073)
#pragma init_seg(lib)
#pragma warning(pop)
#define HALCYON_AHEAD_OF_ORDINARY_STATICS
#else
#define HALCYON_AHEAD_OF_ORDINARY_STATICS __attribute__((init_priority(200)))
#endif

namespace sessionctrl {
namespace {

class BackendOwner {
public:
    // Not constexpr: clang-cl registers the destructor of an object initialised at compile
    // time among the ordinary statics, whatever init_seg says; run at load, it stays here.
    BackendOwner() noexcept {}
    BackendOwner(const BackendOwner&) = delete;
    BackendOwner& operator=(const BackendOwner&) = delete;
    ~BackendOwner() { delete backend.load(); }

    std::atomic<ISessionCtrl*> backend{nullptr};
};

// Declaration order is construction order.
HALCYON_AHEAD_OF_ORDINARY_STATICS std::wstring g_pcoipServerName;
HALCYON_AHEAD_OF_ORDINARY_STATICS std::wstring g_blastServerName;
HALCYON_AHEAD_OF_ORDINARY_STATICS BackendOwner g_backendOwner;

}  // namespace

std::atomic<ISessionCtrl*>& BackendSlot() { return g_backendOwner.backend; }

namespace vmware {

std::wstring& PCoIPServerNameCache() { return g_pcoipServerName; }
std::wstring& BlastServerNameCache() { return g_blastServerName; }

}  // namespace vmware
}  // namespace sessionctrl
