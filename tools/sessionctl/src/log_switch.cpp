#include "log_switch.h"

#include "commands.h"
#include "document.h"
#include "host.h"
#include "registry_path.h"
#include "text.h"

// ssolog's reading of the configuration and its fixed numbers.
#include <log_config.h>
#include <log_limits.h>

#include <platform/win32_raii.h>

#include <cstring>
#include <cwchar>
#include <vector>

namespace sessionctl {
namespace {

const std::string kKeyName = "HKEY_LOCAL_MACHINE\\" + ToUtf8(ssolog::kLogConfigKey);
const char kView[] = "64-bit view";

struct RawValue {
    bool present = false;
    DWORD type = REG_NONE;
    std::vector<BYTE> data;
};

RawValue ReadRaw(HKEY key, const wchar_t* name) {
    RawValue value;
    DWORD size = 0;
    if (RegQueryValueExW(key, name, nullptr, &value.type, nullptr, &size) != ERROR_SUCCESS) return value;
    value.data.resize(size);
    if (size > 0 && RegQueryValueExW(key, name, nullptr, &value.type, value.data.data(), &size) != ERROR_SUCCESS) {
        return RawValue{};
    }
    value.data.resize(size);
    value.present = true;
    return value;
}

Json DataOf(const RawValue& value) {
    if (!value.present) return Json();
    if (value.type == REG_DWORD && value.data.size() == sizeof(DWORD)) {
        DWORD number = 0;
        std::memcpy(&number, value.data.data(), sizeof number);
        return number;
    }
    if (value.type == REG_SZ || value.type == REG_EXPAND_SZ) {
        std::wstring text(value.data.size() / sizeof(WCHAR), L'\0');
        std::memcpy(&text[0], value.data.data(), text.size() * sizeof(WCHAR));
        return ToUtf8(text.substr(0, text.find(L'\0')));
    }
    std::string hex;
    for (BYTE byte : value.data) hex += {"0123456789abcdef"[byte >> 4], "0123456789abcdef"[byte & 15]};
    return hex;
}

// Texts quoted as they are, numbers and bytes as they are written.
std::string Shown(const Json& data) {
    return data.is_string() ? "\"" + data.get<std::string>() + "\"" : data.is_null() ? "" : data.dump();
}

// Why the library passed over a value it reads as `accepted` (REG_DWORD nonzero, REG_SZ not empty).
std::string WhyIgnored(const RawValue& value, DWORD accepted) {
    if (!value.present) return "absent";
    if (value.type != accepted) return "not " + RegTypeName(accepted);
    const Json data = DataOf(value);
    if (data == Json(0)) return "zero";
    if (data == Json("")) return "empty";
    return "unreadable";
}

struct ValueReport {
    const wchar_t* name;
    RawValue raw;
    std::string ignored;  // empty: the library uses it
    std::string effect;   // what the library makes of the value, or of its absence
};

struct Configuration {
    bool keyFound = false;
    bool on = false;
    std::wstring folder;
    DWORD sizeLimit = ssolog::kDefaultMaxFileSize;
    std::vector<ValueReport> values;
};

// The folder and the size limit as the library reads them once the log is on.
Configuration ReadConfiguration() {
    Configuration config;
    platform::UniqueKey key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, ssolog::kLogConfigKey, 0, ssolog::ConfigAccess(), key.Receive()) !=
        ERROR_SUCCESS) {
        // No key reads as no "OutputLogDir": the system drive's folder.
        config.folder = ssolog::LogDirectoryIn(ssolog::ConfiguredBaseDirectory(nullptr));
        return config;
    }
    config.keyFound = true;
    DWORD number = 0;
    std::wstring base;
    config.on = ssolog::ReadNonzeroDword(key.Get(), L"OutputLog", number);
    const bool dirUsed = ssolog::ReadLogDirectory(key.Get(), base) && !base.empty();
    config.folder = ssolog::LogDirectoryIn(ssolog::ConfiguredBaseDirectory(key.Get()));
    const bool sizeUsed = ssolog::ReadNonzeroDword(key.Get(), L"OutputLogSize", number);
    if (sizeUsed) config.sizeLimit = number;
    const std::string limit = "limit " + std::to_string(config.sizeLimit) + " bytes";
    auto report = [&key](const wchar_t* name, bool used, DWORD accepted, std::string effect) {
        ValueReport value{name, ReadRaw(key.Get(), name), "", std::move(effect)};
        if (!used) value.ignored = WhyIgnored(value.raw, accepted);
        return value;
    };
    config.values = {report(L"OutputLog", config.on, REG_DWORD, config.on ? "log on" : "log off"),
                     report(L"OutputLogDir", dirUsed, REG_SZ, "folder " + ToUtf8(config.folder)),
                     report(L"OutputLogSize", sizeUsed, REG_DWORD, sizeUsed ? limit : limit + " (the default)")};
    return config;
}

Json ConfigurationJson(const Configuration& config) {
    Json values = Json::array();
    for (const ValueReport& value : config.values) {
        values.push_back({{"name", ToUtf8(value.name)},
                          {"type", value.raw.present ? Json(RegTypeName(value.raw.type)) : Json()},
                          {"data", DataOf(value.raw)},
                          {"ignored", value.ignored.empty() ? Json() : Json(value.ignored)}});
    }
    return {{"key", kKeyName}, {"view", kView}, {"found", config.keyFound}, {"values", values},
            {"on", config.on}, {"folder", ToUtf8(config.folder)}, {"sizeLimit", config.sizeLimit}};
}

std::string ConfigurationText(const Configuration& config) {
    std::string out = "key " + kKeyName + " (" + kView + (config.keyFound ? ")\n" : "): not found\n");
    for (const ValueReport& value : config.values) {
        std::string line = "  " + ToUtf8(value.name) + std::string(15 - std::wcslen(value.name), ' ') +
                           (value.raw.present ? RegTypeName(value.raw.type) + " " + Shown(DataOf(value.raw)) : "absent");
        line += std::string(line.size() < 44 ? 44 - line.size() : 1, ' ');
        out += line + (value.ignored.empty() || value.ignored == "absent" ? "" : "ignored (" + value.ignored + "): ") +
               value.effect + "\n";
    }
    if (!config.on) return out + "the library writes no log\n";
    return out + "the library writes session.log and kwarden.log into " + ToUtf8(config.folder) +
           ", moving a file to .bak from " + std::to_string(config.sizeLimit) + " bytes\n";
}

// One value to write, as the library accepts it.
struct Setting {
    const wchar_t* name;
    DWORD type;
    std::vector<BYTE> data;
    Json shown;
};

Setting DwordSetting(const wchar_t* name, DWORD number) {
    std::vector<BYTE> data(sizeof number);
    std::memcpy(data.data(), &number, sizeof number);
    return {name, REG_DWORD, data, number};
}

Setting TextSetting(const wchar_t* name, const std::string& utf8) {
    const std::wstring text = FromUtf8(utf8);
    // With its terminating zero, as regedit stores a text.
    const BYTE* bytes = reinterpret_cast<const BYTE*>(text.c_str());
    return {name, REG_SZ, std::vector<BYTE>(bytes, bytes + (text.size() + 1) * sizeof(WCHAR)), utf8};
}

// The 64-bit view also from a 32-bit sessionctl, where the library looks.
LSTATUS Write(const std::vector<Setting>& settings) {
    platform::UniqueKey key;
    LSTATUS status = RegCreateKeyExW(HKEY_LOCAL_MACHINE, ssolog::kLogConfigKey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                                     KEY_SET_VALUE | KEY_WOW64_64KEY, nullptr, key.Receive(), nullptr);
    for (size_t i = 0; status == ERROR_SUCCESS && i < settings.size(); ++i) {
        const Setting& setting = settings[i];
        status = RegSetValueExW(key.Get(), setting.name, 0, setting.type, setting.data.data(),
                                static_cast<DWORD>(setting.data.size()));
    }
    return status;
}

}  // namespace

int RunLogSwitch(const Invocation& invocation, std::ostream& out, std::ostream& err) {
    if (invocation.command == "log show") {
        const Configuration config = ReadConfiguration();
        out << (invocation.json ? JsonText(ConfigurationJson(config)) : ConfigurationText(config));
        return kExitTrue;
    }
    const bool on = invocation.command == "log on";
    std::vector<Setting> settings = {DwordSetting(L"OutputLog", on ? 1 : 0)};
    if (invocation.logDirectory) settings.push_back(TextSetting(L"OutputLogDir", *invocation.logDirectory));
    if (invocation.logSizeLimit) settings.push_back(DwordSetting(L"OutputLogSize", *invocation.logSizeLimit));
    if (LSTATUS status = Write(settings); status != ERROR_SUCCESS) {
        err << "sessionctl: cannot write " << kKeyName << " (" << kView << "): " << SystemErrorText(status)
            << " (error " << status << ")" << (status == ERROR_ACCESS_DENIED ? "; run as administrator" : "") << "\n";
        return kExitFalse;
    }
    const __time64_t within = on ? ssolog::kRefreshWhileOffSeconds : ssolog::kRefreshWhileOnSeconds;
    const std::string when = std::string("running processes switch their log ") + (on ? "on" : "off") +
                             " at their next trace, within " + std::to_string(within) + " seconds";
    const Configuration config = ReadConfiguration();
    if (invocation.json) {
        Json wrote = Json::object();
        for (const Setting& setting : settings) wrote[ToUtf8(setting.name)] = setting.shown;
        out << JsonText({{"wrote", wrote}, {"seenWithinSeconds", within}, {"configuration", ConfigurationJson(config)}});
        return kExitTrue;
    }
    out << "wrote";
    for (const Setting& setting : settings) {
        out << (&setting == &settings.front() ? " " : ", ") << ToUtf8(setting.name) << " = " << Shown(setting.shown)
            << " (" << RegTypeName(setting.type) << ")";
    }
    out << "\n" << when << "\n" << ConfigurationText(config);
    return kExitTrue;
}

}  // namespace sessionctl
