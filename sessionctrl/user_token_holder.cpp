// The exported token holder. Everything is defined here, out of line, so that both
// virtual tables are emitted in (and exported from) the module.
#include <sessionctrl/IUserTokenHolder.h>

#include <platform/win32.h>

#include <cstring>
#include <memory>
#include <vector>

namespace sessionctrl {

namespace {

struct LocalFreeDeleter {
    void operator()(WCHAR* text) const { LocalFree(text); }
};
using LocalString = std::unique_ptr<WCHAR, LocalFreeDeleter>;

}  // namespace

IUserTokenHolder::IUserTokenHolder() = default;

IUserTokenHolder::IUserTokenHolder(const IUserTokenHolder&) = default;

IUserTokenHolder& IUserTokenHolder::operator=(const IUserTokenHolder&) { return *this; }

IUserTokenHolder::~IUserTokenHolder() = default;

UserTokenHolder::UserTokenHolder() : token_(nullptr) {}

UserTokenHolder::UserTokenHolder(void* token) : token_(token) {}

UserTokenHolder::~UserTokenHolder() {
    if (token_ != nullptr) CloseHandle(token_);
}

void UserTokenHolder::SetToken(void* token) {
    // Handed our own handle again: closing it would leave us holding a closed handle.
    if (token == token_) return;
    if (token_ != nullptr) CloseHandle(token_);
    token_ = token;
}

void* UserTokenHolder::GetToken() const { return token_; }

bool UserTokenHolder::GetTokenSID(std::wstring& sid) {
    try {
        if (token_ == nullptr) return false;
        // The first call only reports the size the record needs.
        DWORD length = 0;
        GetTokenInformation(token_, TokenUser, nullptr, 0, &length);
        if (length == 0) return false;
        std::vector<BYTE> record(length, 0);
        if (!GetTokenInformation(token_, TokenUser, record.data(), length, &length))
            return false;
        if (record.size() < sizeof(TOKEN_USER)) return false;
        // TOKEN_USER begins with the user's SID pointer.
        PSID user = nullptr;
        std::memcpy(&user, record.data(), sizeof(user));
        LPWSTR raw = nullptr;
        if (!ConvertSidToStringSidW(user, &raw)) return false;
        const LocalString text(raw);
        sid = text.get();
        return true;
    } catch (...) {
        return false;
    }
}

}  // namespace sessionctrl
