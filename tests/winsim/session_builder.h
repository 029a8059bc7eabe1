// Builds a scripted session; the remaining fields keep their defaults.
#pragma once

#include <winsim/machine.h>

inline winsim::SessionSpec MakeSession(DWORD id, const std::wstring& station, const std::wstring& user,
                                       const std::wstring& domain,
                                       WTS_CONNECTSTATE_CLASS state = WTSActive) {
    winsim::SessionSpec session;
    session.id = id;
    session.station = station;
    session.user = user;
    session.domain = domain;
    session.state = state;
    return session;
}
