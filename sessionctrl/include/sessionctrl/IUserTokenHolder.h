// The holder through which a host receives a session user's primary token.
#pragma once

#include <sessionctrl/export.h>

#include <string>

namespace sessionctrl {

class SESSIONCTRL_API IUserTokenHolder {
public:
    IUserTokenHolder();
    IUserTokenHolder(const IUserTokenHolder& other);
    IUserTokenHolder& operator=(const IUserTokenHolder& other);
    virtual ~IUserTokenHolder();

    // Takes ownership of `token`; a held token is closed first.
    virtual void SetToken(void* token) = 0;
    // The held token; ownership stays with the holder.
    virtual void* GetToken() const = 0;
};

class SESSIONCTRL_API UserTokenHolder : public IUserTokenHolder {
public:
    UserTokenHolder();
    explicit UserTokenHolder(void* token);
    UserTokenHolder(const UserTokenHolder&) = delete;
    UserTokenHolder& operator=(const UserTokenHolder&) = delete;
    ~UserTokenHolder() override;

    void SetToken(void* token) override;
    void* GetToken() const override;

    // The string form ("S-1-5-...") of the token user's SID; `sid` is written only on true.
    bool GetTokenSID(std::wstring& sid);

private:
    void* token_;
};

}  // namespace sessionctrl
