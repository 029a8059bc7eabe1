// Loading, resolving and releasing wfapi.dll.
#include "citrix_fixture.h"

#include <ssolog/trace.h>
#include <wfapi_dll.h>

#include <optional>

namespace citrix_test {
namespace {

class WfapiLoaderTest : public CitrixFixture {
protected:
    void SetUp() override {
        CitrixFixture::SetUp();
        loader_.emplace();
    }
    void TearDown() override {
        loader_.reset();
        CitrixFixture::TearDown();
    }

    // Calls every wrapper once; on a loader without entries none reaches wfapi.dll.
    void CallEveryWrapper() {
        loader_->IWFOpenServerW(nullptr);
        loader_->IWFCloseServer(reinterpret_cast<HANDLE>(0x5001));
        LPWSTR buffer = nullptr;
        DWORD bytes = 0;
        loader_->IWFQuerySessionInformationW(1, WTSConnectState, &buffer, &bytes);
        loader_->IWFDisconnectSession(1, false);
        loader_->IWFLogoffSession(1, false);
        loader_->IWFFreeMemory(nullptr);
        void* sessions = nullptr;
        DWORD count = 0;
        loader_->IWFEnumerateSessionsW(0, 1, &sessions, &count);
    }

    std::optional<sessionctrl::WFAPIDll> loader_;
};

TEST_F(WfapiLoaderTest, LoadsWithAlteredSearchPathAndTracesThePathAndSuccess) {
    ASSERT_TRUE(loader_->Load());
    EXPECT_TRUE(loader_->IsLoaded());
    EXPECT_EQ(LoggedTexts(), (std::vector<std::string>{
                                 "C:\\Program Files\\Citrix\\ICA Client\\wfapi.dll,",
                                 "success.,"}));
    EXPECT_EQ(winsim::ModuleReferences(wfapi_), 1);
    EXPECT_EQ(CallsAfter("LoadLibraryExW", "GetProcAddress"), 7u);
}

TEST_F(WfapiLoaderTest, FailedLoadLibraryTracesTheSystemError) {
    winsim::FailCall("LoadLibraryExW", ERROR_MOD_NOT_FOUND);
    EXPECT_FALSE(loader_->Load());
    EXPECT_FALSE(loader_->IsLoaded());
    EXPECT_TRUE(Logged("LoadLibrary error., 126 (0x7e)"));
    EXPECT_FALSE(Logged("success.,"));
    EXPECT_EQ(CallsAfter("LoadLibraryExW", "GetProcAddress"), 0u);
}

TEST_F(WfapiLoaderTest, LoadOnALoadedLoaderReadsAndTracesNothing) {
    ASSERT_TRUE(loader_->Load());
    ForgetLog();
    const unsigned opens = winsim::CallCount("RegOpenKeyExW");
    const unsigned queries = winsim::CallCount("RegQueryValueExW");

    EXPECT_TRUE(loader_->Load());
    EXPECT_TRUE(LoggedTexts().empty());
    EXPECT_EQ(winsim::CallCount("RegOpenKeyExW"), opens);
    EXPECT_EQ(winsim::CallCount("RegQueryValueExW"), queries);
    EXPECT_EQ(winsim::ModuleReferences(wfapi_), 1);
}

TEST_F(WfapiLoaderTest, ReleaseUnloadsOnceAndTracesItsScope) {
    ASSERT_TRUE(loader_->Load());
    ForgetLog();
    loader_->Release();
    EXPECT_FALSE(loader_->IsLoaded());
    EXPECT_EQ(winsim::ModuleReferences(wfapi_), 0);
    EXPECT_EQ(LoggedTexts(), (std::vector<std::string>{"+ WFAPIDll::Release, >> in",
                                                       "+ WFAPIDll::Release, << out - 0 [msec]"}));

    ForgetLog();
    const unsigned frees = winsim::CallCount("FreeLibrary");
    loader_->Release();
    EXPECT_TRUE(LoggedTexts().empty());
    EXPECT_EQ(winsim::CallCount("FreeLibrary"), frees);
}

TEST_F(WfapiLoaderTest, ReleasedLoaderCallsNothingInTheLibrary) {
    ASSERT_TRUE(loader_->Load());
    loader_->Release();
    LPWSTR buffer = reinterpret_cast<LPWSTR>(0x1234);
    DWORD bytes = 77;
    EXPECT_FALSE(loader_->IWFQuerySessionInformationW(1, WTSConnectState, &buffer, &bytes));
    EXPECT_EQ(buffer, reinterpret_cast<LPWSTR>(0x1234));
    EXPECT_EQ(bytes, 77u);
    CallEveryWrapper();
    EXPECT_TRUE(fake_wfapi::Calls().empty());
}

TEST_F(WfapiLoaderTest, FailedFreeLibraryStillClearsTheLoader) {
    ASSERT_TRUE(loader_->Load());
    ForgetLog();
    // Every trace gives back a module reference of its own; the scope's entry line
    // comes first, so the loader's FreeLibrary is the one after that trace's.
    const unsigned before = winsim::CallCount("FreeLibrary");
    ssolog::IsTraceEnabled();
    const unsigned perTrace = winsim::CallCount("FreeLibrary") - before;
    winsim::FailCall("FreeLibrary", ERROR_INVALID_HANDLE, perTrace + 1);
    loader_->Release();
    EXPECT_EQ(LoggedTexts(), (std::vector<std::string>{"+ WFAPIDll::Release, >> in",
                                                       "FreeLibrary error.,",
                                                       "+ WFAPIDll::Release, << out - 0 [msec]"}));
    EXPECT_FALSE(loader_->IsLoaded());
    CallEveryWrapper();
    EXPECT_TRUE(fake_wfapi::Calls().empty());
    // The simulated FreeLibrary failed before giving the reference back.
    FreeLibrary(wfapi_);
}

TEST_F(WfapiLoaderTest, LoadAfterReleaseReadsTheRegistryAnew) {
    ASSERT_TRUE(loader_->Load());
    loader_->Release();
    const HMODULE moved = InstallWfapi(L"D:\\Citrix\\wfapi.dll");
    SetLocation(L"D:\\Citrix");
    ForgetLog();

    ASSERT_TRUE(loader_->Load());
    EXPECT_EQ(LoggedTexts(), (std::vector<std::string>{"D:\\Citrix\\wfapi.dll,", "success.,"}));
    EXPECT_EQ(winsim::ModuleReferences(moved), 1);
    EXPECT_EQ(winsim::ModuleReferences(wfapi_), 0);
}

TEST_F(WfapiLoaderTest, DestructionReleasesALoadedLibrary) {
    ASSERT_TRUE(loader_->Load());
    ForgetLog();
    loader_.reset();
    EXPECT_EQ(winsim::ModuleReferences(wfapi_), 0);
    EXPECT_TRUE(Logged("+ WFAPIDll::Release, >> in"));
}

// A library that lacks one export: the look-ups stop there and nothing stays loaded.
class WfapiMissingExportTest : public WfapiLoaderTest,
                               public testing::WithParamInterface<std::size_t> {};

TEST_P(WfapiMissingExportTest, StopsAtTheMissingExportAndUnloads) {
    const std::size_t missing = GetParam();
    const std::string name = fake_wfapi::kExportNames[missing];
    wfapi_ = InstallWfapi(kWfapiPath, name);

    EXPECT_FALSE(loader_->Load());
    EXPECT_FALSE(loader_->IsLoaded());
    EXPECT_EQ(LoggedTexts(), (std::vector<std::string>{
                                 "C:\\Program Files\\Citrix\\ICA Client\\wfapi.dll,",
                                 name + " not found.,"}));
    EXPECT_EQ(CallsAfter("LoadLibraryExW", "GetProcAddress"), missing + 1);
    EXPECT_EQ(winsim::ModuleReferences(wfapi_), 0);
    // Every entry resolved before the missing one is null again.
    CallEveryWrapper();
    EXPECT_TRUE(fake_wfapi::Calls().empty());
}

INSTANTIATE_TEST_SUITE_P(Export, WfapiMissingExportTest, testing::Range<std::size_t>(0, 7),
                         [](const testing::TestParamInfo<std::size_t>& exportIndex) {
                             return std::string(fake_wfapi::kExportNames[exportIndex.param]);
                         });

}  // namespace
}  // namespace citrix_test
