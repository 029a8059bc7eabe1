// Modules: simulated export tables, reference counts, and a real shared object
// loaded like a DLL with DllMain attach and detach.
#include "winsim_test.h"

namespace {

int FakeExport() { return 7; }

using ModulesTest = LeakCheckedMachine;

const wchar_t kWfapi[] = L"C:\\Program Files (x86)\\Citrix\\ICA Client\\wfapi.dll";

TEST_F(ModulesTest, SimulatedModuleIsReferenceCountedAndExportsByName) {
    HMODULE registered = winsim::RegisterModule(kWfapi, {{"WFOpenServerW", reinterpret_cast<void*>(&FakeExport)}});
    EXPECT_EQ(GetModuleHandleW(L"wfapi.dll"), nullptr);  // not loaded yet
    HMODULE first = LoadLibraryExW(kWfapi, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    HMODULE second = LoadLibraryW(L"WFAPI");
    EXPECT_EQ(first, registered);
    EXPECT_EQ(second, registered);
    EXPECT_EQ(winsim::ModuleReferences(registered), 2);
    EXPECT_EQ(GetModuleHandleW(L"WfApi.dll"), registered);
    EXPECT_EQ(reinterpret_cast<void*>(GetProcAddress(first, "WFOpenServerW")), reinterpret_cast<void*>(&FakeExport));
    EXPECT_EQ(GetProcAddress(first, "WFMissing"), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PROC_NOT_FOUND));
    EXPECT_EQ(winsim::CountOutstanding().moduleReferences, 2);
    EXPECT_TRUE(FreeLibrary(first));
    EXPECT_TRUE(FreeLibrary(second));
    EXPECT_FALSE(FreeLibrary(second));
    EXPECT_EQ(winsim::Misuses().size(), 1u);
}

TEST_F(ModulesTest, UnknownWindowsPathIsModNotFound) {
    EXPECT_EQ(LoadLibraryExW(L"C:\\Program Files\\Citrix\\wfapi.dll", nullptr, 8), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
}

TEST_F(ModulesTest, Kernel32ExportsIsWow64ProcessUnlessTold) {
    HMODULE kernel32 = GetModuleHandleW(L"kernel32.dll");
    ASSERT_NE(kernel32, nullptr);
    using IsWow64 = BOOL (*)(HANDLE, PBOOL);
    auto function = reinterpret_cast<IsWow64>(reinterpret_cast<void*>(GetProcAddress(kernel32, "IsWow64Process")));
    ASSERT_NE(function, nullptr);
    winsim::SetWow64(true);
    BOOL wow64 = FALSE;
    EXPECT_TRUE(function(GetCurrentProcess(), &wow64));
    EXPECT_TRUE(wow64);
    winsim::SetIsWow64ProcessExported(false);
    EXPECT_EQ(GetProcAddress(kernel32, "IsWow64Process"), nullptr);
}

TEST_F(ModulesTest, FromAddressTakesAReferenceUnlessUnchanged) {
    HMODULE module = nullptr;
    ASSERT_TRUE(GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                                   reinterpret_cast<LPCWSTR>(&FakeExport), &module));
    EXPECT_EQ(winsim::CountOutstanding().moduleReferences, 1);
    HMODULE same = nullptr;
    ASSERT_TRUE(GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                       GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                                   reinterpret_cast<LPCWSTR>(&FakeExport), &same));
    EXPECT_EQ(same, module);
    EXPECT_EQ(GetModuleHandleW(nullptr), module);  // the test program itself
    wchar_t name[MAX_PATH] = {};
    ASSERT_GT(GetModuleFileNameW(module, name, MAX_PATH), 0u);
    EXPECT_STREQ(name, L"C:\\Program Files\\Corvane Keywarden\\winsim_tests.exe");
    EXPECT_EQ(winsim::CountOutstanding().moduleReferences, 1);
    FreeLibrary(module);
}

class HostModuleTest : public ModulesTest {
protected:
    static std::wstring Events() {
        auto value = winsim::GetValue(HKEY_LOCAL_MACHINE, L"SOFTWARE\\WinsimTestModule", L"Events");
        return value ? reinterpret_cast<const wchar_t*>(value->data.data()) : L"";
    }
    static std::wstring ModulePath() {
        const std::string path = WINSIM_TEST_MODULE;
        return std::wstring(path.begin(), path.end());
    }
};

TEST_F(HostModuleTest, LoadSendsAttachAfterConstructionAndLastFreeSendsDetach) {
    HMODULE module = LoadLibraryW(ModulePath().c_str());
    ASSERT_NE(module, nullptr);
    EXPECT_EQ(Events(), L"construct;attach(same);");
    HMODULE again = LoadLibraryW(ModulePath().c_str());
    EXPECT_EQ(again, module);
    EXPECT_EQ(winsim::ModuleReferences(module), 2);
    using Answer = int (*)();
    auto answer = reinterpret_cast<Answer>(reinterpret_cast<void*>(GetProcAddress(module, "WinsimTestModuleAnswer")));
    ASSERT_NE(answer, nullptr);
    EXPECT_EQ(answer(), 42);
    wchar_t name[MAX_PATH] = {};
    GetModuleFileNameW(module, name, MAX_PATH);
    EXPECT_STREQ(name, L"C:\\Program Files\\Corvane Keywarden\\winsim_test_module.dll");
    FreeLibrary(again);
    EXPECT_EQ(Events(), L"construct;attach(same);");
    FreeLibrary(module);
    EXPECT_EQ(Events(), L"construct;attach(same);detach(same);destroy;");
}

TEST_F(HostModuleTest, ModuleNameFollowsTheModuleDirectoryAndTruncates) {
    winsim::SetModuleDirectory(L"D:\\Apps\\");
    HMODULE module = LoadLibraryW(ModulePath().c_str());
    ASSERT_NE(module, nullptr);
    wchar_t name[8] = {};
    EXPECT_EQ(GetModuleFileNameW(module, name, 8), 8u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_STREQ(name, L"D:\\Apps");
    FreeLibrary(module);
}

}  // namespace
