// Modules: simulated ones with export tables, and host shared objects loaded with
// dlopen whose DllMain sees attach and detach like a DLL. A host module's HMODULE is
// its load address, so GetModuleHandleExW(FROM_ADDRESS) inside it finds the same one.
#include "machine_state.h"

#include <dlfcn.h>
#include <link.h>
#include <sys/auxv.h>

#include <filesystem>

using namespace winsim;
using namespace winsim::detail;

namespace {

using DllMainFunction = BOOL (*)(HINSTANCE, DWORD, LPVOID);

const wchar_t kKernel32[] = L"C:\\Windows\\system32\\kernel32.dll";

HMODULE MainProgramBase() {
    Dl_info info{};
    if (::dladdr(reinterpret_cast<void*>(::getauxval(AT_PHDR)), &info) == 0) return nullptr;
    return static_cast<HMODULE>(info.dli_fbase);
}

std::wstring FileNamePart(const std::wstring& path) {
    const size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

// "bin/HalcyonSessionCtrl.so" -> "<module directory>HalcyonSessionCtrl.dll".
std::wstring WindowsNameOf(const Module& module) {
    if (!module.windowsPath.empty()) return module.windowsPath;
    std::string stem = std::filesystem::path(module.hostPath).filename().string();
    const size_t so = stem.find(".so");
    if (so != std::string::npos) stem.resize(so);
    return State().moduleDirectory + Widen(stem) + (module.isMainProgram ? L".exe" : L".dll");
}

// A name as LoadLibrary takes it: a full path or a file name, ".dll" implied.
bool NameMatches(const Module& module, const std::wstring& name) {
    std::wstring wanted = Upper(name);
    if (FileNamePart(wanted).find(L'.') == std::wstring::npos) wanted += L".DLL";
    const std::wstring own = Upper(WindowsNameOf(module));
    return wanted == own || wanted == FileNamePart(own);
}

Module* FindByName(const std::wstring& name, HMODULE* handle) {
    for (auto& [key, module] : State().modules) {
        if (NameMatches(module, name)) {
            *handle = key;
            return &module;
        }
    }
    return nullptr;
}

Module* FindByHandle(HMODULE handle) {
    auto it = State().modules.find(handle);
    return it != State().modules.end() ? &it->second : nullptr;
}

// The record of the host object containing `address`, made on first sight.
HMODULE HostModuleAt(const void* address) {
    Dl_info info{};
    if (address == nullptr || ::dladdr(address, &info) == 0 || info.dli_fbase == nullptr) return nullptr;
    auto handle = static_cast<HMODULE>(info.dli_fbase);
    auto [it, added] = State().modules.emplace(handle, Module{});
    if (added) {
        it->second.hostPath = info.dli_fname != nullptr ? info.dli_fname : "";
        it->second.isMainProgram = handle == MainProgramBase();
        if (it->second.isMainProgram) {
            std::error_code ignored;
            it->second.hostPath = std::filesystem::read_symlink("/proc/self/exe", ignored).string();
        }
    }
    return handle;
}

void CallDllMain(void* dlHandle, HMODULE module, DWORD reason) {
    auto entry = reinterpret_cast<DllMainFunction>(::dlsym(dlHandle, "DllMain"));
    if (entry != nullptr) entry(module, reason, nullptr);
}

// Loads a host shared object as a DLL. Runs without the machine lock: its constructors
// and DllMain call back into the machine.
HMODULE LoadHostObject(const std::string& hostPath) {
    void* dl = ::dlopen(hostPath.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (dl == nullptr) return Fail(ERROR_BAD_EXE_FORMAT, static_cast<HMODULE>(nullptr));
    link_map* map = nullptr;
    ::dlinfo(dl, RTLD_DI_LINKMAP, &map);
    HMODULE handle = nullptr;
    bool first = false;
    {
        Guard guard = Lock();
        handle = HostModuleAt(map != nullptr ? map->l_ld : nullptr);
        Module* module = FindByHandle(handle);
        if (module == nullptr) {
            ::dlclose(dl);
            return Fail(ERROR_BAD_EXE_FORMAT, static_cast<HMODULE>(nullptr));
        }
        ++module->references;
        if (module->dlHandle == nullptr) {
            module->dlHandle = dl;
            module->hostPath = hostPath;
            first = true;
        } else {
            ::dlclose(dl);  // one dlopen reference per loaded module is enough
        }
    }
    if (first) {
        auto entry = reinterpret_cast<DllMainFunction>(::dlsym(dl, "DllMain"));
        if (entry != nullptr && !entry(handle, DLL_PROCESS_ATTACH, nullptr)) {
            entry(handle, DLL_PROCESS_DETACH, nullptr);
            ::dlclose(dl);
            Guard guard = Lock();
            if (Module* module = FindByHandle(handle)) {
                module->dlHandle = nullptr;
                if (--module->references == 0) State().modules.erase(handle);
            }
            return Fail(ERROR_DLL_INIT_FAILED, static_cast<HMODULE>(nullptr));
        }
    }
    return handle;
}

HMODULE Load(LPCWSTR fileName) {
    if (fileName == nullptr) return Fail(ERROR_INVALID_PARAMETER, static_cast<HMODULE>(nullptr));
    std::string hostPath;
    {
        Guard guard = Lock();
        HMODULE handle = nullptr;
        if (Module* module = FindByName(fileName, &handle); module != nullptr && !module->windowsPath.empty()) {
            if (!module->builtin) ++module->references;
            return handle;
        }
        hostPath = Narrow(fileName);
    }
    std::error_code ignored;
    if (!std::filesystem::is_regular_file(hostPath, ignored)) {
        return Fail(ERROR_MOD_NOT_FOUND, static_cast<HMODULE>(nullptr));
    }
    return LoadHostObject(hostPath);
}

}  // namespace

namespace winsim::detail {

void ResetModules(Machine& machine) {
    for (auto it = machine.modules.begin(); it != machine.modules.end();) {
        if (!it->second.windowsPath.empty()) {
            it = machine.modules.erase(it);  // simulated modules go; host objects stay loaded
        } else {
            it->second.referencesAtReset = it->second.references;
            ++it;
        }
    }
    Module kernel32;
    kernel32.windowsPath = kKernel32;
    kernel32.builtin = true;
    kernel32.exports["IsWow64Process"] = reinterpret_cast<void*>(&IsWow64Process);
    machine.nextHandle += 4;  // State() may not exist yet: this runs while it is made
    machine.modules[reinterpret_cast<HMODULE>(machine.nextHandle)] = kernel32;
}

}  // namespace winsim::detail

namespace winsim {

HMODULE RegisterModule(const std::wstring& windowsPath, const Exports& exports) {
    Guard guard = Lock();
    UnregisterModule(windowsPath);
    auto handle = static_cast<HMODULE>(NewHandleValue());
    Module module;
    module.windowsPath = windowsPath;
    module.exports = exports;
    State().modules[handle] = module;
    return handle;
}

void UnregisterModule(const std::wstring& windowsPath) {
    Guard guard = Lock();
    for (auto it = State().modules.begin(); it != State().modules.end(); ++it) {
        if (!it->second.builtin && Upper(it->second.windowsPath) == Upper(windowsPath)) {
            State().modules.erase(it);
            return;
        }
    }
}

void SetModuleDirectory(const std::wstring& directoryWithBackslash) {
    Guard guard = Lock();
    State().moduleDirectory = directoryWithBackslash;
}

long ModuleReferences(HMODULE module) {
    Guard guard = Lock();
    const Module* found = FindByHandle(module);
    return found != nullptr ? found->references : 0;
}

}  // namespace winsim

extern "C" HMODULE LoadLibraryW(LPCWSTR fileName) {
    if (auto fault = Enter("LoadLibraryW")) return Fail(*fault, static_cast<HMODULE>(nullptr));
    return Load(fileName);
}

extern "C" HMODULE LoadLibraryExW(LPCWSTR fileName, HANDLE file, DWORD flags) {
    {
        Guard guard = Lock();
        State().libraryLoads.push_back(winsim::LibraryLoad{fileName != nullptr ? fileName : L"", flags});
    }
    if (auto fault = Enter("LoadLibraryExW")) return Fail(*fault, static_cast<HMODULE>(nullptr));
    if (file != nullptr) return Fail(ERROR_INVALID_PARAMETER, static_cast<HMODULE>(nullptr));
    return Load(fileName);
}

extern "C" HMODULE GetModuleHandleW(LPCWSTR moduleName) {
    if (auto fault = Enter("GetModuleHandleW")) return Fail(*fault, static_cast<HMODULE>(nullptr));
    Guard guard = Lock();
    if (moduleName == nullptr) return HostModuleAt(reinterpret_cast<void*>(::getauxval(AT_PHDR)));
    HMODULE handle = nullptr;
    Module* module = FindByName(moduleName, &handle);
    // Only loaded modules have a handle.
    if (module == nullptr || (!module->builtin && module->references <= 0)) {
        return Fail(ERROR_MOD_NOT_FOUND, static_cast<HMODULE>(nullptr));
    }
    return handle;
}

extern "C" BOOL GetModuleHandleExW(DWORD flags, LPCWSTR moduleNameOrAddress, HMODULE* module) {
    if (module != nullptr) *module = nullptr;
    if (auto fault = Enter("GetModuleHandleExW")) return Fail(*fault, FALSE);
    if (module == nullptr) return Fail(ERROR_INVALID_PARAMETER, FALSE);
    Guard guard = Lock();
    HMODULE handle = nullptr;
    if (flags & GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS) {
        handle = HostModuleAt(moduleNameOrAddress);
    } else if (moduleNameOrAddress == nullptr) {
        handle = HostModuleAt(reinterpret_cast<void*>(::getauxval(AT_PHDR)));
    } else if (Module* found = FindByName(moduleNameOrAddress, &handle);
               found == nullptr || (!found->builtin && found->references <= 0)) {
        handle = nullptr;
    }
    if (handle == nullptr) return Fail(ERROR_MOD_NOT_FOUND, FALSE);
    Module* found = FindByHandle(handle);
    const DWORD noCount = GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT | GET_MODULE_HANDLE_EX_FLAG_PIN;
    if (!found->builtin && !(flags & noCount)) ++found->references;
    *module = handle;
    return TRUE;
}

extern "C" BOOL FreeLibrary(HMODULE moduleHandle) {
    if (auto fault = Enter("FreeLibrary")) return Fail(*fault, FALSE);
    void* unload = nullptr;
    {
        Guard guard = Lock();
        Module* module = FindByHandle(moduleHandle);
        if (module == nullptr) {
            RecordMisuse("FreeLibrary of a module that is not loaded");
            return Fail(ERROR_MOD_NOT_FOUND, FALSE);
        }
        if (module->builtin) return TRUE;
        if (module->references <= 0) {
            RecordMisuse("FreeLibrary of a module without a reference left");
            return Fail(ERROR_MOD_NOT_FOUND, FALSE);
        }
        if (--module->references == 0 && module->dlHandle != nullptr && !module->unloading) {
            module->unloading = true;
            unload = module->dlHandle;
        }
    }
    if (unload != nullptr) {
        // Detach, then the object's static destructors run inside dlclose; both may take
        // and give back references, which must not unload it a second time.
        CallDllMain(unload, moduleHandle, DLL_PROCESS_DETACH);
        ::dlclose(unload);
        Guard guard = Lock();
        if (Module* module = FindByHandle(moduleHandle)) {
            if (module->references == 0) {
                State().modules.erase(moduleHandle);
            } else {
                module->dlHandle = nullptr;
                module->unloading = false;
            }
        }
    }
    return TRUE;
}

extern "C" DWORD GetModuleFileNameW(HMODULE moduleHandle, LPWSTR fileName, DWORD size) {
    if (auto fault = Enter("GetModuleFileNameW")) return Fail(*fault, 0u);
    Guard guard = Lock();
    if (moduleHandle == nullptr) moduleHandle = HostModuleAt(reinterpret_cast<void*>(::getauxval(AT_PHDR)));
    const Module* module = FindByHandle(moduleHandle);
    if (module == nullptr) return Fail(ERROR_MOD_NOT_FOUND, 0u);
    const std::wstring name = WindowsNameOf(*module);
    if (fileName == nullptr || size == 0) return Fail(ERROR_INSUFFICIENT_BUFFER, 0u);
    if (name.size() >= size) {
        // Truncated and terminated; the answer is the buffer size (Windows Vista and later).
        name.copy(fileName, size - 1);
        fileName[size - 1] = L'\0';
        return Fail(ERROR_INSUFFICIENT_BUFFER, size);
    }
    name.copy(fileName, name.size());
    fileName[name.size()] = L'\0';
    SetLastError(ERROR_SUCCESS);
    return static_cast<DWORD>(name.size());
}

extern "C" FARPROC GetProcAddress(HMODULE moduleHandle, LPCSTR procName) {
    if (auto fault = Enter("GetProcAddress")) return Fail(*fault, static_cast<FARPROC>(nullptr));
    if (reinterpret_cast<uintptr_t>(procName) < 0x10000) {
        return Fail(ERROR_PROC_NOT_FOUND, static_cast<FARPROC>(nullptr));  // no ordinals
    }
    Guard guard = Lock();
    const Module* module = FindByHandle(moduleHandle);
    if (module == nullptr) return Fail(ERROR_MOD_NOT_FOUND, static_cast<FARPROC>(nullptr));
    void* address = nullptr;
    if (module->builtin && std::string(procName) == "IsWow64Process" && !State().isWow64ProcessExported) {
        address = nullptr;
    } else if (!module->windowsPath.empty()) {
        auto it = module->exports.find(procName);
        address = it != module->exports.end() ? it->second : nullptr;
    } else if (module->dlHandle != nullptr) {
        address = ::dlsym(module->dlHandle, procName);
    } else {
        void* self = ::dlopen(module->isMainProgram ? nullptr : module->hostPath.c_str(),
                              RTLD_NOW | RTLD_NOLOAD);
        if (self != nullptr) {
            address = ::dlsym(self, procName);
            ::dlclose(self);
        }
    }
    if (address == nullptr) return Fail(ERROR_PROC_NOT_FOUND, static_cast<FARPROC>(nullptr));
    return reinterpret_cast<FARPROC>(address);
}
