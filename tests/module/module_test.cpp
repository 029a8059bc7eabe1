// The built module as a host uses it: loaded, an export found by its decorated name,
// unloaded. At unload the entry point takes the module's logger out first; the backend
// dies after the logger statics, so whatever its destructor traces reaches no file.
#include <test_support/machine_fixture.h>

#include <functional>

namespace module_test {
namespace {

using namespace test_support;

class Module : public MachineFixture {
protected:
    void SetUp() override {
        MachineFixture::SetUp();
        winsim::SessionSpec console;
        console.id = 1, winsim::AddSession(console);
    }

    // Loads the module, asks whether session 1 is connected, runs `beforeUnload`, unloads.
    void LoadAskUnload(const std::function<void()>& beforeUnload = [] {}) {
        const std::string path = HALCYON_MODULE_PATH;
        HMODULE module = LoadLibraryW(std::wstring(path.begin(), path.end()).c_str());
        ASSERT_NE(module, nullptr);
        auto isConnected = reinterpret_cast<bool (*)(unsigned long)>(reinterpret_cast<void (*)()>(
            GetProcAddress(module, "_ZN11sessionctrl11SessionCtrl11IsConnectedEm")));
        ASSERT_NE(isConnected, nullptr);
        EXPECT_TRUE(isConnected(1));
        beforeUnload();
        EXPECT_TRUE(FreeLibrary(module));
    }
};

TEST_F(Module, EachLoadStartsAfreshAndUnloadGivesAllBack) {
    LoadAskUnload();
    LoadAskUnload();
    EXPECT_EQ(LoggedTexts(), (std::vector<std::string>{"Initialize..., RDP", "Session control [Default],",
                                    "IsConnected >, true", "Initialize..., RDP",
                                    "Session control [Default],", "IsConnected >, true"}));
    EXPECT_FALSE(LogExists(kDefaultLog));  // the module's logger was there from first to last
}

// All the Citrix backend asks of its library while the host asks only about connections.
HANDLE WINAPI OpenNoServer(LPWSTR) { return nullptr; }

TEST_F(Module, CitrixLibraryIsGivenBackAfterTheLoggersAreGone) {
    winsim::Exports exports;
    for (const char* name : {"WFOpenServerW", "WFCloseServer", "WFQuerySessionInformationW", "WFDisconnectSession",
                             "WFLogoffSession", "WFFreeMemory", "WFEnumerateSessionsW"})
        exports[name] = reinterpret_cast<void*>(&OpenNoServer);
    HMODULE wfapi = winsim::RegisterModule(L"C:\\Citrix\\wfapi.dll", exports);
    winsim::SetString(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Citrix\\PortICA\\Install", L"Location", L"C:\\Citrix\\");
    InstallProduct(L"XenDesktop");
    std::vector<std::string> beforeUnload;
    LoadAskUnload([&] {
        EXPECT_EQ(winsim::ModuleReferences(wfapi), 1);
        beforeUnload = LoggedTexts();
    });
    EXPECT_EQ(winsim::ModuleReferences(wfapi), 0);
    EXPECT_EQ(LoggedTexts(), beforeUnload);
    EXPECT_FALSE(LogExists(kDefaultLog));
}

}  // namespace
}  // namespace module_test
