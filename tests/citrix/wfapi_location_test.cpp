// Where the loader looks for wfapi.dll: the "Location" value and the path made from it.
#include "citrix_fixture.h"

#include <wfapi_dll.h>

#include <cstring>
#include <optional>

namespace citrix_test {
namespace {

winsim::RegValue StringValue(const std::wstring& text, DWORD type, bool withNul) {
    winsim::RegValue value;
    value.type = type;
    value.data.resize((text.size() + (withNul ? 1 : 0)) * sizeof(WCHAR));
    if (!value.data.empty()) std::memcpy(value.data.data(), text.c_str(), value.data.size());
    return value;
}

struct LocationCase {
    const char* name;
    void (*arrange)();
    // The path traced and loaded; null when "registry not found." is expected.
    const char* tracedPath;
};

void SetRaw(const winsim::RegValue& value, winsim::RegView view = winsim::RegView::Native) {
    winsim::SetValue(HKEY_LOCAL_MACHINE, kCitrixKey, L"Location", value, view);
}

const LocationCase kLocationCases[] = {
    {"WithoutFinalBackslash", [] { SetRaw(StringValue(L"C:\\Citrix\\ICA", REG_SZ, true)); },
     "C:\\Citrix\\ICA\\wfapi.dll,"},
    {"WithFinalBackslash", [] { SetRaw(StringValue(L"C:\\Citrix\\ICA\\", REG_SZ, true)); },
     "C:\\Citrix\\ICA\\wfapi.dll,"},
    {"StoredWithoutNul", [] { SetRaw(StringValue(L"C:\\Citrix\\ICA", REG_SZ, false)); },
     "C:\\Citrix\\ICA\\wfapi.dll,"},
    {"TextEndsAtFirstNul",
     [] { SetRaw(StringValue(std::wstring(L"C:\\Citrix\\ICA\0D:\\Other", 22), REG_SZ, true)); },
     "C:\\Citrix\\ICA\\wfapi.dll,"},
    {"OnlyNul", [] { SetRaw(StringValue(L"", REG_SZ, true)); }, "wfapi.dll,"},
    {"ExpandString", [] { SetRaw(StringValue(L"C:\\Citrix\\ICA", REG_EXPAND_SZ, true)); },
     nullptr},
    {"Dword", [] { winsim::SetDword(HKEY_LOCAL_MACHINE, kCitrixKey, L"Location", 1); }, nullptr},
    {"EmptyValue", [] { SetRaw(StringValue(L"", REG_SZ, false)); }, nullptr},
    {"MissingValue", [] { winsim::CreateKey(HKEY_LOCAL_MACHINE, kCitrixKey); }, nullptr},
    {"MissingKey", [] {}, nullptr},
    {"Wow64ReadsTheNativeView",
     [] {
         winsim::SetWow64(true);
         SetRaw(StringValue(L"C:\\Citrix\\ICA", REG_SZ, true));
     },
     "C:\\Citrix\\ICA\\wfapi.dll,"},
    {"Wow64IgnoresTheWow32View",
     [] {
         winsim::SetWow64(true);
         SetRaw(StringValue(L"C:\\Citrix\\ICA", REG_SZ, true), winsim::RegView::Wow32);
     },
     nullptr},
};

class WfapiLocationTest : public CitrixFixture,
                          public testing::WithParamInterface<LocationCase> {
protected:
    void SetUp() override {
        CitrixFixture::SetUp();
        winsim::DeleteKey(HKEY_LOCAL_MACHINE, kCitrixKey);
        winsim::DeleteKey(HKEY_LOCAL_MACHINE, kCitrixKey, winsim::RegView::Wow32);
        winsim::UnregisterModule(kWfapiPath);
        wfapi_ = InstallWfapi(L"C:\\Citrix\\ICA\\wfapi.dll");
        loader_.emplace();
    }
    void TearDown() override {
        loader_.reset();
        CitrixFixture::TearDown();
    }
    std::optional<sessionctrl::WFAPIDll> loader_;
};

TEST_P(WfapiLocationTest, LoadsFromTheDirectoryNamedOrTracesRegistryNotFound) {
    GetParam().arrange();
    const bool loaded = loader_->Load();

    if (GetParam().tracedPath != nullptr) {
        EXPECT_TRUE(loaded);
        EXPECT_TRUE(loader_->IsLoaded());
        EXPECT_EQ(LoggedTexts(),
                  (std::vector<std::string>{GetParam().tracedPath, "success.,"}));
        EXPECT_EQ(winsim::ModuleReferences(wfapi_), 1);
    } else {
        EXPECT_FALSE(loaded);
        EXPECT_FALSE(loader_->IsLoaded());
        EXPECT_EQ(LoggedTexts(), std::vector<std::string>{"registry not found.,"});
        EXPECT_EQ(winsim::CallCount("LoadLibraryExW"), 0u);
    }
}

INSTANTIATE_TEST_SUITE_P(Location, WfapiLocationTest, testing::ValuesIn(kLocationCases),
                         RowName());

}  // namespace
}  // namespace citrix_test
