#include "commands.h"

#include "document.h"
#include "log_report.h"
#include "machine_model.h"
#include "text.h"

#include <sessionctrl/SessionCtrl.h>

#include <algorithm>
#include <functional>
#include <map>
#include <optional>
#include <sstream>

namespace sessionctl {
namespace {

using sessionctrl::ISessionCtrl;
using sessionctrl::SessionCtrl;

struct ClientAnswer {
    bool known = false;
    bool local = false;
    std::wstring address;

    std::string Text() const { return !known ? "-" : local ? "local" : ToUtf8(address); }
    void Write(Json& json) const {
        json["client"] = !known ? Json() : local ? Json("local") : Json(ToUtf8(address));
        json["local"] = known ? Json(local) : Json();
    }
};

ClientAnswer AskClient(unsigned long sessionId) {
    ClientAnswer answer;
    answer.known = SessionCtrl::GetClientAddress(sessionId, answer.address, answer.local);
    return answer;
}

std::optional<std::wstring> Answer(bool (*query)(unsigned long, std::wstring&), unsigned long sessionId) {
    std::wstring text;
    return query(sessionId, text) ? std::optional<std::wstring>(text) : std::nullopt;
}

Json Optional(const std::optional<std::wstring>& value) { return value ? Json(ToUtf8(*value)) : Json(); }

std::string TextOr(const std::optional<std::wstring>& value) { return value ? ToUtf8(*value) : "-"; }

// Left-aligned columns, two blanks apart.
std::string Table(const std::vector<std::vector<std::string>>& rows) {
    std::vector<size_t> widths;
    for (const auto& row : rows) {
        widths.resize(std::max(widths.size(), row.size()));
        for (size_t i = 0; i < row.size(); ++i) widths[i] = std::max(widths[i], row[i].size());
    }
    std::string out;
    for (const auto& row : rows) {
        std::string line;
        for (size_t i = 0; i < row.size(); ++i) {
            line += row[i];
            if (i + 1 < row.size()) line += std::string(widths[i] - row[i].size() + 2, ' ');
        }
        line.erase(line.find_last_not_of(' ') + 1);
        out += line + "\n";
    }
    return out;
}

int Sessions(const Invocation& invocation, std::ostream& out) {
    std::list<ISessionCtrl::SESSION_INFO> sessions;
    bool listed = SessionCtrl::GetAllWinStationName(sessions);
    unsigned long current = SessionCtrl::GetCurrentSessionID();
    Json json = {{"current", current}, {"sessions", listed ? Json::array() : Json()}};
    std::vector<std::vector<std::string>> rows = {{" ID", "STATION", "STATE", "USER", "CLIENT"}};
    for (const auto& session : sessions) {
        auto user = Answer(&SessionCtrl::GetSessionUserName, session.SessionId);
        ClientAnswer client = AskClient(session.SessionId);
        Json row = {{"id", session.SessionId}, {"station", ToUtf8(session.WinStationName)},
                    {"state", StateName(session.State)}, {"user", Optional(user)}};
        client.Write(row);
        if (listed) json["sessions"].push_back(row);
        rows.push_back({(session.SessionId == current ? ">" : " ") + std::to_string(session.SessionId),
                        ToUtf8(session.WinStationName), StateName(session.State), user ? ToUtf8(*user) : "",
                        client.Text()});
    }
    if (invocation.json) {
        out << JsonText(json);
    } else if (listed) {
        out << Table(rows);
    } else {
        out << "the session list could not be read\n";
    }
    return listed ? kExitTrue : kExitFalse;
}

int Info(const Invocation& invocation, std::ostream& out) {
    unsigned long id = invocation.operands.empty() ? SessionCtrl::GetCurrentSessionID()
                                                   : ParseSessionId(invocation.operands[0]);
    int state = 0;
    bool known = SessionCtrl::GetStatus(id, state);
    auto user = Answer(&SessionCtrl::GetSessionUserName, id);
    std::optional<std::wstring> domain = Answer(
        [](unsigned long session, std::wstring& text) { return SessionCtrl::GetLoggedOnWinDomain(session, text); }, id);
    std::optional<std::wstring> station = Answer(
        [](unsigned long session, std::wstring& text) { return SessionCtrl::GetWinStationName(session, text); }, id);
    bool connected = SessionCtrl::IsConnected(id);
    ClientAnswer client = AskClient(id);
    if (invocation.json) {
        Json json = {{"session", id}, {"user", Optional(user)}, {"domain", Optional(domain)},
                     {"station", Optional(station)},
                     {"state", known ? Json(StateName(static_cast<uint32_t>(state))) : Json()},
                     {"connected", connected}};
        client.Write(json);
        out << JsonText(json);
    } else {
        out << Table({{"session", std::to_string(id)},
                      {"user", TextOr(user)},
                      {"domain", TextOr(domain)},
                      {"station", TextOr(station)},
                      {"state", known ? StateName(static_cast<uint32_t>(state)) : "-"},
                      {"connected", connected ? "yes" : "no"},
                      {"client", client.Text()}});
    }
    return known ? kExitTrue : kExitFalse;
}

// One yes/no answer: "name: text" or {"name": bool}.
int Verdict(const Invocation& invocation, std::ostream& out, const char* key, bool answer,
            const char* yes, const char* no) {
    if (invocation.json) {
        out << JsonText({{key, answer}});
    } else {
        out << (answer ? yes : no) << "\n";
    }
    return answer ? kExitTrue : kExitFalse;
}

int TokenSid(const Invocation& invocation, std::ostream& out) {
    unsigned long id = ParseSessionId(invocation.operands[0]);
    sessionctrl::UserTokenHolder holder;
    std::wstring sid;
    bool found = SessionCtrl::GetUserToken(id, holder) && holder.GetTokenSID(sid);
    if (invocation.json) {
        out << JsonText({{"session", id}, {"sid", found ? Json(ToUtf8(sid)) : Json()}});
    } else {
        out << (found ? ToUtf8(sid) : "no user token for session " + std::to_string(id)) << "\n";
    }
    return found ? kExitTrue : kExitFalse;
}

int FindProcess(const Invocation& invocation, std::ostream& out) {
    unsigned long id = ParseSessionId(invocation.operands[0]);
    std::wstring name = FromUtf8(invocation.operands[1]);
    bool found = SessionCtrl::FindProcess(id, name.c_str());
    if (invocation.json) {
        out << JsonText({{"session", id}, {"process", ToUtf8(name)}, {"found", found}});
    } else {
        out << (found ? "found" : "not found") << "\n";
    }
    return found ? kExitTrue : kExitFalse;
}

int CurrentSession(const Invocation& invocation, std::ostream& out) {
    unsigned long id = SessionCtrl::GetCurrentSessionID();
    if (invocation.json) {
        out << JsonText({{"session", id}});
    } else {
        out << id << "\n";
    }
    return kExitTrue;
}

int Action(const Invocation& invocation, const Host& host, std::ostream& out) {
    const std::string& name = invocation.command;
    std::optional<unsigned long> id;
    bool done;
    if (name == "lock") {
        done = SessionCtrl::SessionLock();
    } else {
        id = ParseSessionId(invocation.operands[0]);
        done = name == "logoff"          ? SessionCtrl::LogoffSession(*id, invocation.wait)
               : invocation.force        ? SessionCtrl::DisconnectForce(*id, invocation.wait)
                                         : SessionCtrl::Disconnect(*id, invocation.wait);
    }
    std::vector<std::string> recorded = host.RecordedActions();
    if (invocation.json) {
        Json json = {{"action", name}};
        if (id) {
            json["session"] = *id;
            json["wait"] = invocation.wait;
        }
        if (name == "disconnect") json["force"] = invocation.force;
        json["result"] = done;
        json["machine"] = recorded;
        out << JsonText(json);
    } else {
        out << name << (id ? " " + std::to_string(*id) : std::string()) << ": " << (done ? "done" : "failed") << "\n";
        for (const std::string& action : recorded) out << "  machine: " << action << "\n";
    }
    return done ? kExitTrue : kExitFalse;
}

}  // namespace

int RunLibraryCommand(const Invocation& invocation, const Host& host, std::ostream& out) {
    const std::string& name = invocation.command;
    if (name == "sessions") return Sessions(invocation, out);
    if (name == "info") return Info(invocation, out);
    if (name == "is-local") return Verdict(invocation, out, "local", SessionCtrl::IsLocalSession(), "local", "remote");
    if (name == "pcoip") return Verdict(invocation, out, "pcoip", SessionCtrl::IsPCoIPConnect(), "true", "false");
    if (name == "token-sid") return TokenSid(invocation, out);
    if (name == "find-process") return FindProcess(invocation, out);
    if (name == "current-session") return CurrentSession(invocation, out);
    return Action(invocation, host, out);
}

int RunLogStats(const Invocation& invocation, std::ostream& out) {
    LogStatistics statistics;
    for (const std::string& file : LogFilesToRead(invocation.operands)) {
        statistics.AddFile(file, ReadFileBytes(file));
    }
    statistics.Finish();
    out << (invocation.json ? LogStatsJson(statistics) : LogStatsText(statistics));
    return kExitTrue;
}

}  // namespace sessionctl
