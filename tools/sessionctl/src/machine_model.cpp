#include "machine_model.h"

#include "input_error.h"
#include "document.h"
#include "text.h"

#include <algorithm>
#include <iterator>

namespace sessionctl {
namespace {

bool IsAsciiDigit(char c) { return c >= '0' && c <= '9'; }
bool IsAsciiHex(char c) { return IsAsciiDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

const char* const kStateNames[] = {"Active", "Conn", "ConnQ", "Shadow", "Disc",
                                   "Idle",   "Listen", "Reset", "Down", "Init"};
const char* const kStateLongNames[] = {"Active", "Connected", "ConnectQuery", "Shadow", "Disconnected",
                                       "Idle",   "Listen",    "Reset",        "Down",   "Init"};
const char* const kProducts[] = {"XenApp", "XenDesktop", "XenDesktop7", "VMwareHorizon"};

std::optional<uint32_t> ParseDecimalByte(const std::string& text) {
    if (text.empty() || text.size() > 3 || !std::all_of(text.begin(), text.end(), IsAsciiDigit)) {
        return std::nullopt;
    }
    uint32_t value = static_cast<uint32_t>(std::stoul(text));
    return value <= 255 ? std::optional<uint32_t>(value) : std::nullopt;
}

std::vector<std::string> Split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
        size_t end = text.find(separator, start);
        parts.push_back(text.substr(start, end == std::string::npos ? std::string::npos : end - start));
        if (end == std::string::npos) {
            return parts;
        }
        start = end + 1;
    }
}

std::optional<std::vector<uint16_t>> ParseGroups(const std::string& text) {
    std::vector<uint16_t> groups;
    if (text.empty()) {
        return groups;
    }
    for (const std::string& part : Split(text, ':')) {
        if (part.empty() || part.size() > 4 || !std::all_of(part.begin(), part.end(), IsAsciiHex)) {
            return std::nullopt;
        }
        groups.push_back(static_cast<uint16_t>(std::stoul(part, nullptr, 16)));
    }
    return groups;
}

std::optional<std::array<uint16_t, 8>> ParseIPv6(const std::string& text) {
    size_t gap = text.find("::");
    std::array<uint16_t, 8> result{};
    if (gap == std::string::npos) {
        auto groups = ParseGroups(text);
        if (!groups || groups->size() != 8) {
            return std::nullopt;
        }
        std::copy(groups->begin(), groups->end(), result.begin());
        return result;
    }
    auto head = ParseGroups(text.substr(0, gap));
    auto tail = ParseGroups(text.substr(gap + 2));
    if (!head || !tail || head->size() + tail->size() > 7) {
        return std::nullopt;
    }
    std::copy(head->begin(), head->end(), result.begin());
    std::copy(tail->begin(), tail->end(), result.end() - tail->size());
    return result;
}

std::vector<uint8_t> Utf16Text(const std::wstring& text) {
    return WideToUtf16Le(text + L'\0');
}

// One registry value of the description: "text", a number, null (delete), or
// {"type": "REG_...", "value": ...}.
RegOperation RegistryValue(ObjectReader& keyReader, const RegistryPath& path, const std::string& name,
                           const Json& value) {
    RegOperation op;
    op.path = path;
    op.name = FromUtf8(name);
    op.line = keyReader.Source().LineOf(value);
    op.kind = RegOperation::Kind::SetValue;
    switch (value.type()) {
    case Json::value_t::null:
        op.kind = RegOperation::Kind::DeleteValue;
        return op;
    case Json::value_t::string:
        op.type = 1;
        op.data = Utf16Text(FromUtf8(value.get<std::string>()));
        return op;
    case Json::value_t::number_integer:
    case Json::value_t::number_unsigned:
    case Json::value_t::number_float: {
        uint32_t number = keyReader.Unsigned(value);
        op.type = 4;
        op.data = {static_cast<uint8_t>(number), static_cast<uint8_t>(number >> 8),
                   static_cast<uint8_t>(number >> 16), static_cast<uint8_t>(number >> 24)};
        return op;
    }
    case Json::value_t::object:
        break;
    default:
        keyReader.Fail(value, "registry value \"" + name +
                                  "\": expected a string, a number, null or {\"type\", \"value\"}");
    }
    ObjectReader reader(keyReader.Source(), value, "registry value \"" + name + "\"");
    const Json& typeValue = reader.Required("type");
    const std::string typeName = reader.String(typeValue);
    auto type = RegTypeFromName(FromUtf8(typeName));
    if (!type) {
        reader.Fail(typeValue, "unknown registry type \"" + typeName + "\"");
    }
    op.type = *type;
    const Json& data = reader.Required("value");
    reader.RejectUnknown();
    if (*type == 7) {
        std::wstring joined;
        for (const Json& item : reader.Array(data)) {
            joined += FromUtf8(reader.String(item)) + L'\0';
        }
        op.data = WideToUtf16Le(joined + L'\0');
    } else if (IsTextType(*type)) {
        op.data = Utf16Text(FromUtf8(reader.String(data)));
    } else if (*type == 4 && data.is_number()) {
        uint32_t number = reader.Unsigned(data);
        op.data = {static_cast<uint8_t>(number), static_cast<uint8_t>(number >> 8),
                   static_cast<uint8_t>(number >> 16), static_cast<uint8_t>(number >> 24)};
    } else {
        // Bytes as hexadecimal pairs, optionally separated by blanks or commas.
        std::string hex;
        for (char c : reader.String(data)) {
            if (c != ' ' && c != ',') hex += c;
        }
        if (hex.size() % 2 != 0 || !std::all_of(hex.begin(), hex.end(), IsAsciiHex)) {
            reader.Fail(data, "registry value \"" + name + "\": expected bytes as hexadecimal pairs");
        }
        for (size_t i = 0; i < hex.size(); i += 2) {
            op.data.push_back(static_cast<uint8_t>(std::stoul(hex.substr(i, 2), nullptr, 16)));
        }
    }
    return op;
}

void ReadRegistry(const Document& document, const Json& registry, MachineModel& model) {
    ObjectReader outer(document, registry, "\"registry\"");
    for (const auto& [keyText, values] : registry.items()) {
        auto path = ParseRegistryPath(FromUtf8(keyText));
        if (!path || path->key.empty()) {
            outer.Fail(values, "registry key \"" + keyText +
                                   "\": expected HKEY_LOCAL_MACHINE\\..., HKEY_CURRENT_USER\\..., HKEY_USERS\\... "
                                   "or HKEY_CLASSES_ROOT\\...");
        }
        ObjectReader keyReader(document, values, "registry key \"" + keyText + "\"");
        RegOperation create;
        create.path = *path;
        create.line = document.LineOf(values);
        model.registry.push_back(create);
        for (const auto& [name, value] : values.items()) {
            model.registry.push_back(RegistryValue(keyReader, *path, name, value));
        }
    }
}

void ReadProducts(ObjectReader& reader, const Json& value, MachineModel& model) {
    std::vector<const Json*> names;
    if (value.is_array()) {
        for (const Json& item : value) names.push_back(&item);
    } else {
        names.push_back(&value);
    }
    for (const Json* name : names) {
        std::string text = reader.String(*name);
        if (text == "none" && value.is_string()) {
            continue;
        }
        if (std::find(std::begin(kProducts), std::end(kProducts), text) == std::end(kProducts)) {
            reader.Fail(*name, "unknown product \"" + text +
                                   "\" (known: none, XenApp, XenDesktop, XenDesktop7, VMwareHorizon)");
        }
        model.products.push_back(FromUtf8(text));
    }
}

void ReadWindows(const Document& document, const Json& value, MachineModel& model) {
    ObjectReader reader(document, value, "\"windows\"");
    if (const Json* version = reader.Optional("version")) {
        std::string text = reader.String(*version);
        auto parts = Split(text, '.');
        bool ok = parts.size() == 2 && !parts[0].empty() && !parts[1].empty() && parts[0].size() < 4 &&
                  parts[1].size() < 4 && std::all_of(parts[0].begin(), parts[0].end(), IsAsciiDigit) &&
                  std::all_of(parts[1].begin(), parts[1].end(), IsAsciiDigit);
        if (!ok) {
            reader.Fail(*version, "\"version\": expected major.minor, for example \"10.0\" or \"6.1\"");
        }
        model.windowsMajor = static_cast<uint32_t>(std::stoul(parts[0]));
        model.windowsMinor = static_cast<uint32_t>(std::stoul(parts[1]));
    }
    if (const Json* sp = reader.Optional("servicePack")) model.servicePack = reader.Unsigned(*sp);
    if (const Json* wow64 = reader.Optional("wow64")) model.wow64 = reader.Bool(*wow64);
    reader.RejectUnknown();
}

void ReadCaller(const Document& document, const Json& value, MachineModel& model) {
    ObjectReader reader(document, value, "\"caller\"");
    if (const Json* session = reader.Optional("session")) model.callerSession = reader.Unsigned(*session);
    if (const Json* pid = reader.Optional("pid")) model.callerPid = reader.Unsigned(*pid);
    if (const Json* user = reader.Optional("user")) model.callerUser = FromUtf8(reader.String(*user));
    if (const Json* remote = reader.Optional("remote")) model.callerRemote = reader.Bool(*remote);
    reader.RejectUnknown();
}

MachineSession ReadSession(const Document& document, const Json& value) {
    ObjectReader reader(document, value, "session");
    MachineSession session;
    session.id = reader.Unsigned(reader.Required("id"));
    if (const Json* station = reader.Optional("station")) session.station = FromUtf8(reader.String(*station));
    if (const Json* user = reader.Optional("user")) session.user = FromUtf8(reader.String(*user));
    if (const Json* domain = reader.Optional("domain")) session.domain = FromUtf8(reader.String(*domain));
    session.sid = DefaultUserSid(session.id);
    if (const Json* sid = reader.Optional("sid")) session.sid = FromUtf8(reader.String(*sid));
    if (const Json* state = reader.Optional("state")) {
        auto number = StateFromName(reader.String(*state));
        if (!number) {
            reader.Fail(*state, "unknown session state \"" + state->get<std::string>() +
                                    "\" (known: Active, Connected, ConnectQuery, Shadow, Disconnected, Idle, "
                                    "Listen, Reset, Down, Init)");
        }
        session.state = *number;
    }
    if (const Json* client = reader.Optional("client")) {
        if (!client->is_null()) {
            session.client = ParseClientAddress(reader.String(*client));
            if (!session.client) {
                reader.Fail(*client, "\"client\": expected an IPv4 or IPv6 address, or null");
            }
        }
    }
    reader.RejectUnknown();
    return session;
}

MachineProcess ReadProcess(const Document& document, const Json& value) {
    ObjectReader reader(document, value, "process");
    MachineProcess process;
    process.pid = reader.Unsigned(reader.Required("pid"));
    process.session = reader.Unsigned(reader.Required("session"));
    process.name = FromUtf8(reader.String(reader.Required("name")));
    reader.RejectUnknown();
    return process;
}

void ReadCitrix(const Document& document, const Json& value, MachineModel& model) {
    ObjectReader reader(document, value, "\"citrix\"");
    CitrixInstall citrix;
    citrix.location = FromUtf8(reader.String(reader.Required("location")));
    if (const Json* wfapi = reader.Optional("wfapi")) citrix.wfapi = reader.Bool(*wfapi);
    reader.RejectUnknown();
    model.citrix = citrix;
}

}  // namespace

std::optional<ClientAddressRecord> ParseClientAddress(const std::string& text) {
    ClientAddressRecord record;
    if (text.find(':') != std::string::npos) {
        auto groups = ParseIPv6(text);
        if (!groups) {
            return std::nullopt;
        }
        record.family = 23;
        for (size_t i = 0; i < 8; ++i) {
            record.bytes[2 + 2 * i] = static_cast<uint8_t>((*groups)[i] >> 8);
            record.bytes[3 + 2 * i] = static_cast<uint8_t>((*groups)[i]);
        }
        return record;
    }
    auto parts = Split(text, '.');
    if (parts.size() != 4) {
        return std::nullopt;
    }
    record.family = 2;
    for (size_t i = 0; i < 4; ++i) {
        auto byte = ParseDecimalByte(parts[i]);
        if (!byte) {
            return std::nullopt;
        }
        record.bytes[2 + i] = static_cast<uint8_t>(*byte);
    }
    return record;
}

MachineModel ParseMachine(const std::string& bytes, const std::string& fileName) {
    std::string text = bytes;
    if (text.compare(0, 3, "\xEF\xBB\xBF") == 0) {
        text.erase(0, 3);
    }
    const Document document(text, fileName);
    ObjectReader reader(document, document.Root(), "the machine description");
    MachineModel model;
    if (const Json* description = reader.Optional("description")) model.description = reader.String(*description);
    if (const Json* product = reader.Optional("product")) ReadProducts(reader, *product, model);
    if (const Json* windows = reader.Optional("windows")) ReadWindows(document, *windows, model);
    if (const Json* caller = reader.Optional("caller")) ReadCaller(document, *caller, model);
    if (const Json* sessions = reader.Optional("sessions")) {
        for (const Json& item : reader.Array(*sessions)) {
            MachineSession session = ReadSession(document, item);
            for (const MachineSession& known : model.sessions) {
                if (known.id == session.id) {
                    reader.Fail(item, "session " + std::to_string(session.id) + " is described twice");
                }
            }
            model.sessions.push_back(session);
        }
    }
    if (const Json* processes = reader.Optional("processes")) {
        for (const Json& item : reader.Array(*processes)) {
            model.processes.push_back(ReadProcess(document, item));
        }
    }
    if (const Json* registry = reader.Optional("registry")) ReadRegistry(document, *registry, model);
    if (const Json* citrix = reader.Optional("citrix")) ReadCitrix(document, *citrix, model);
    reader.RejectUnknown();
    return model;
}

const char* StateName(uint32_t state) {
    return state < std::size(kStateNames) ? kStateNames[state] : "?";
}

std::optional<uint32_t> StateFromName(const std::string& name) {
    for (uint32_t i = 0; i < std::size(kStateLongNames); ++i) {
        if (name == kStateLongNames[i] || name == kStateNames[i]) {
            return i;
        }
    }
    return std::nullopt;
}

std::wstring DefaultUserSid(uint32_t sessionId) {
    return L"S-1-5-21-1000-2000-3000-" + std::to_wstring(1000 + sessionId);
}

}  // namespace sessionctl
