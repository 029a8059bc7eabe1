// A module for the loader tests: it notes in the registry, in order, its static
// construction, each DllMain call (and whether FROM_ADDRESS finds the handle it was
// given) and its static destruction.
#include <winsim/machine.h>

namespace {

void Note(const std::wstring& event) {
    const std::wstring key = L"SOFTWARE\\WinsimTestModule";
    auto events = winsim::GetValue(HKEY_LOCAL_MACHINE, key, L"Events");
    std::wstring text;
    if (events) text = reinterpret_cast<const wchar_t*>(events->data.data());
    winsim::SetString(HKEY_LOCAL_MACHINE, key, L"Events", text + event + L";");
}

struct StaticObject {
    StaticObject() { Note(L"construct"); }
    ~StaticObject() { Note(L"destroy"); }
} staticObject;

}  // namespace

extern "C" __attribute__((visibility("default"))) BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason,
                                                                     LPVOID) {
    HMODULE self = nullptr;
    const BOOL found = GetModuleHandleExW(
        GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
        reinterpret_cast<LPCWSTR>(&Note), &self);
    const std::wstring same = found && self == instance ? L"(same)" : L"(other)";
    if (reason == DLL_PROCESS_ATTACH) Note(L"attach" + same);
    if (reason == DLL_PROCESS_DETACH) Note(L"detach" + same);
    return TRUE;
}

extern "C" __attribute__((visibility("default"))) int WinsimTestModuleAnswer() { return 42; }
