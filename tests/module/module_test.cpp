// Load, use and unload the real module. At unload the entry point takes the module's
// logger out first, then the statics go in reverse order: the logger registry before
// the backend, whose destructor may still trace and must neither crash nor reach a log.
#include <test_support/machine_fixture.h>

#include <gtest/gtest.h>

#include <string>

namespace module_test {
namespace {

using namespace test_support;

const wchar_t* const kCitrixDirectory = L"C:\\Program Files\\Citrix\\ICAService\\";
const wchar_t* const kWfapiPath = L"C:\\Program Files\\Citrix\\ICAService\\wfapi.dll";

// The exports as a host links them: class members with decorated names.
using IsLocalSessionExport = bool (*)();
using IsConnectedExport = bool (*)(unsigned long);
using GetWinStationNameExport = bool (*)(unsigned long, std::wstring&);
using GetCurrentSessionIdExport = unsigned long (*)();

const char* const kIsLocalSession = "_ZN11sessionctrl11SessionCtrl14IsLocalSessionEv";
const char* const kIsConnected = "_ZN11sessionctrl11SessionCtrl11IsConnectedEm";
const char* const kGetWinStationName =
    "_ZN11sessionctrl11SessionCtrl17GetWinStationNameEmRNSt7__cxx1112basic_stringIwSt11char_"
    "traitsIwESaIwEEE";
const char* const kGetCurrentSessionId = "_ZN11sessionctrl11SessionCtrl19GetCurrentSessionIDEv";

template <class Function>
Function Export(HMODULE module, const char* name) {
    FARPROC address = GetProcAddress(module, name);
    EXPECT_NE(address, nullptr) << name;
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(address));
}

std::wstring ModulePath() {
    const std::string path = HALCYON_MODULE_PATH;
    return std::wstring(path.begin(), path.end());
}

// A wfapi.dll that loads, opens a server and answers nothing else.
HANDLE WINAPI FakeOpenServer(LPWSTR) { return reinterpret_cast<HANDLE>(0x5F5F); }
void WINAPI FakeCloseServer(HANDLE) {}
BOOL WINAPI FakeQuerySessionInformation(HANDLE, DWORD, int, LPWSTR*, DWORD*) { return FALSE; }
BOOL WINAPI FakeSessionCommand(HANDLE, DWORD, BOOL) { return FALSE; }
void WINAPI FakeFreeMemory(void*) {}
BOOL WINAPI FakeEnumerateSessions(HANDLE, DWORD, DWORD, void**, DWORD*) { return FALSE; }

HMODULE RegisterFakeWfapi() {
    return winsim::RegisterModule(
        kWfapiPath, {{"WFOpenServerW", reinterpret_cast<void*>(&FakeOpenServer)},
                     {"WFCloseServer", reinterpret_cast<void*>(&FakeCloseServer)},
                     {"WFQuerySessionInformationW",
                      reinterpret_cast<void*>(&FakeQuerySessionInformation)},
                     {"WFDisconnectSession", reinterpret_cast<void*>(&FakeSessionCommand)},
                     {"WFLogoffSession", reinterpret_cast<void*>(&FakeSessionCommand)},
                     {"WFFreeMemory", reinterpret_cast<void*>(&FakeFreeMemory)},
                     {"WFEnumerateSessionsW", reinterpret_cast<void*>(&FakeEnumerateSessions)}});
}

class ModuleTest : public MachineFixture {
protected:
    void SetUp() override {
        MachineFixture::SetUp();
        winsim::SetModuleDirectory(L"C:\\Program Files\\Corvane\\");
        winsim::SetCurrentSession(1);
        winsim::SessionSpec console;
        console.id = 1;
        console.user = L"alice";
        winsim::AddSession(console);
    }

    // Loads the module, asks whether session 1 is connected, unloads it.
    void LoadAskAndUnload() {
        HMODULE module = LoadLibraryW(ModulePath().c_str());
        ASSERT_NE(module, nullptr);
        EXPECT_TRUE(Export<IsConnectedExport>(module, kIsConnected)(1));
        EXPECT_TRUE(FreeLibrary(module));
    }
};

TEST_F(ModuleTest, ExportsAnswerAndTraceIntoSessionLog) {
    HMODULE module = LoadLibraryW(ModulePath().c_str());
    ASSERT_NE(module, nullptr);
    EXPECT_TRUE(Export<IsLocalSessionExport>(module, kIsLocalSession)());
    EXPECT_TRUE(Export<IsConnectedExport>(module, kIsConnected)(1));
    std::wstring name;
    EXPECT_TRUE(Export<GetWinStationNameExport>(module, kGetWinStationName)(1, name));
    EXPECT_EQ(name, L"Console");
    EXPECT_EQ(Export<GetCurrentSessionIdExport>(module, kGetCurrentSessionId)(), 1ul);
    EXPECT_TRUE(FreeLibrary(module));

    EXPECT_EQ(LoggedTexts(), (std::vector<std::string>{
                                  "Initialize..., RDP", "Session control [Default],",
                                  "IsLocalSession >, local", "IsConnected >, true",
                                  "GetWinStationName2 >, Console"}));
    // Registered before the first call, unregistered only at detach: nothing went to
    // the default logger.
    EXPECT_FALSE(LogExists(kDefaultLog));
}

TEST_F(ModuleTest, UnloadEndsEverythingSoAReloadStartsAfresh) {
    LoadAskAndUnload();
    EXPECT_EQ(winsim::CountOutstanding(), baseline_) << winsim::CountOutstanding().Describe();
    LoadAskAndUnload();
    // A new backend, chosen again: the old one went with the first unload.
    EXPECT_EQ(CountLogged("Initialize..., RDP"), 2u);
    EXPECT_EQ(CountLogged("IsConnected >, true"), 2u);
}

TEST_F(ModuleTest, CitrixBackendGivesItsLibraryBackAfterTheLoggersAreGone) {
    HMODULE wfapi = RegisterFakeWfapi();
    winsim::SetString(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Citrix\\PortICA\\Install", L"Location",
                      kCitrixDirectory);
    InstallProduct(L"XenDesktop");
    baseline_ = winsim::CountOutstanding();

    HMODULE module = LoadLibraryW(ModulePath().c_str());
    ASSERT_NE(module, nullptr);
    EXPECT_TRUE(Export<IsConnectedExport>(module, kIsConnected)(1));
    ASSERT_TRUE(Logged("Session control [WFAPI],"));
    EXPECT_EQ(winsim::ModuleReferences(wfapi), 1);
    const std::vector<std::string> beforeUnload = LoggedTexts();

    EXPECT_TRUE(FreeLibrary(module));
    // The backend was destroyed (its library is back) ...
    EXPECT_EQ(winsim::ModuleReferences(wfapi), 0);
    // ... after the logger registry: the traces of its destructor reached no file. Had
    // it died first, they would have gone to the default logger's "kwarden.log".
    EXPECT_EQ(LoggedTexts(), beforeUnload);
    EXPECT_FALSE(LogExists(kDefaultLog));
}

}  // namespace
}  // namespace module_test
