// One logger (ssolog::DebugLog) driven through a script of writes, clock steps and
// registry or file changes; each row compares every file left on the machine's drives.
#include "debug_log.h"

#include <test_support/machine_fixture.h>

#include <platform/win32_raii.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <regex>
#include <sstream>

namespace {

namespace fs = std::filesystem;
using test_support::kLogKey;

// The header a line gets from the machine as Reset leaves it.
const std::string H = "2026/12/04T09:05:03.042, SID:000001, PID:004711, TID:005120, ";
const std::wstring kLogDir = L"C:\\Logs\\DebugSSO\\";

std::string Bytes(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

// Every file, empty directory and link under the drives, one "path=content" line each
// ("path->target" for a link), sorted. Well-formed headers are cut, CR LF shows as "|", a
// file over 64 KiB shows its size.
std::string Listing() {
    static const std::regex header(
        R"(\d{4}/\d\d/\d\dT\d\d:\d\d:\d\d\.\d{3}, SID:\d{6,}, PID:\d{6,}, TID:\d{6,}, )");
    const fs::path root = fs::path(winsim::HostPath(L"C:\\x")).parent_path().parent_path();
    std::vector<fs::path> files;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        if (entry.is_symlink() || entry.is_regular_file() || fs::is_empty(entry.path()))
            files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    std::string listing;
    for (const fs::path& file : files) {
        listing += file.lexically_relative(root).string();
        if (fs::is_symlink(file)) {
            listing += "->" + fs::read_symlink(file).string() + "\n";
            continue;
        }
        if (fs::is_directory(file)) {
            listing += "/\n";
            continue;
        }
        const auto size = fs::file_size(file);
        const std::string text = size > 65536 ? "" : std::regex_replace(Bytes(file), header, "");
        listing += "=" + (size > 65536 ? std::to_string(size) + " bytes"
                                       : std::regex_replace(text, std::regex("\r\n"), "|")) + "\n";
    }
    return listing;
}

// What an ordinary user plants where the log goes, next to a file of their own:
// "dirlink" the folder, "parentlink" the folder above it, "filelink" and "hardlink" the
// file; "swap" moves the folder to "old" first, "steal" the log file to the user's folder.
void Plant(const std::string& what) {
    const fs::path logs = winsim::HostPath(L"C:\\Logs"), own = winsim::HostPath(L"C:\\Users\\mallory");
    fs::create_directories(own / "DebugSSO");
    std::ofstream(own / "own.txt", std::ios::binary) << "mine\r\n";
    fs::create_directories(logs / "DebugSSO");
    if (what == "swap") fs::rename(logs / "DebugSSO", logs / "old");
    if (what == "steal") fs::rename(logs / "DebugSSO" / "session.log", own / "session.log");
    if (what == "dirlink" || what == "swap" || what == "steal") {
        fs::remove_all(logs / "DebugSSO");
        fs::create_directory_symlink("../Users/mallory", logs / "DebugSSO");
    } else if (what == "parentlink") {
        fs::remove_all(logs);
        fs::create_directory_symlink("Users/mallory", logs);
    } else if (what == "filelink") {
        fs::create_symlink("../../Users/mallory/own.txt", logs / "DebugSSO" / "session.log");
    } else {
        fs::create_hard_link(own / "own.txt", logs / "DebugSSO" / "session.log");
    }
    if (what != "parentlink") fs::remove(own / "DebugSSO");
}

// Runs the script's words in order: "+N" lets N seconds pass, "OutputLog...=V" sets that
// registry value, other "name=value" and lone words the branches know act on the machine,
// and any other word is written as a line.
void RunScript(const std::string& script) {
    auto log = std::make_unique<ssolog::DebugLog>(L"session.log");
    platform::UniqueHandle otherWriter;
    std::istringstream words(script);
    for (std::string word; words >> word;) {
        const size_t eq = word.find('=');
        const std::string key = word.substr(0, eq);
        const std::string value = eq == std::string::npos ? "" : word.substr(eq + 1);
        const std::wstring wideKey(key.begin(), key.end()), wide(value.begin(), value.end());
        if (word[0] == '+') winsim::AdvanceMs(std::stoull(word.substr(1)) * 1000);
        else if (key == "OutputLogDir")
            winsim::SetString(HKEY_LOCAL_MACHINE, kLogKey, wideKey, wide);
        else if (key.rfind("OutputLog", 0) == 0)
            winsim::SetDword(HKEY_LOCAL_MACHINE, kLogKey, wideKey, std::stoul(value));
        else if (key == "expand")
            winsim::SetString(HKEY_LOCAL_MACHINE, kLogKey, L"OutputLogDir", wide, REG_EXPAND_SZ);
        else if (key == "binary")  // the right size, the wrong type
            winsim::SetValue(HKEY_LOCAL_MACHINE, kLogKey, wide, {REG_BINARY, {1, 0, 0, 0}});
        else if (key == "no") winsim::DeleteValue(HKEY_LOCAL_MACHINE, kLogKey, wide);
        else if (word == "nokey") winsim::DeleteKey(HKEY_LOCAL_MACHINE, kLogKey);
        else if (key == "sysdir") winsim::SetSystemDirectory(wide);
        else if (word == "wow64") winsim::SetWow64(true);
        else if (word == "block") winsim::FailCall("_wfsopen", ERROR_SHARING_VIOLATION);
        else if (key == "fail") winsim::FailCall(value, ERROR_ACCESS_DENIED, 1);
        else if (word == "free") winsim::ClearFaults();
        else if (word == "rmdir") fs::remove_all(winsim::HostPath(kLogDir));
        else if (word == "unlink") fs::remove(winsim::HostPath(kLogDir + L"session.log"));
        else if (word.find("link") != std::string::npos || word == "swap" || word == "steal") Plant(word);
        else if (word == "rotate") log->RotateIfTooLarge((kLogDir + L"session.log").c_str());
        else if (key == "fill") {  // a file of that many bytes already there
            fs::create_directories(winsim::HostPath(kLogDir));
            std::ofstream(winsim::HostPath(kLogDir + L"session.log"), std::ios::binary)
                << std::string(std::stoul(value) - 2, 'o') << "\r\n";
        } else if (word == "other") {  // another process writing the file
            const DWORD anySharing = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
            *otherWriter.Receive() = CreateFileW((kLogDir + L"session.log").c_str(), GENERIC_WRITE,
                                                 anySharing, nullptr, OPEN_EXISTING, 0, nullptr);
        } else if (key == "lines") {  // "lines=150": x0, x1, ... x149
            for (int i = 0; i < std::stoi(value); ++i) {
                log->WriteLine((L"x" + std::to_wstring(i)).c_str(), nullptr);
            }
        } else {
            log->WriteLine(std::wstring(word.begin(), word.end()).c_str(), nullptr);
        }
    }
    otherWriter.Reset();
    log.reset();
}

struct Row {
    const char* name;
    const char* script;
    std::string files;
};

const std::string S = "C/Logs/DebugSSO/session.log=";
const std::string B = "C/Logs/DebugSSO/session.log.bak=";
const std::string Linked = "C/Logs/DebugSSO->../Users/mallory\n";
const std::string Own = "C/Users/mallory/own.txt=mine|\n";

const Row kRows[] = {
    // Where the file goes.
    {"SystemDriveRootWithoutDirectory", "no=OutputLogDir x", "C/DebugSSO/session.log=x,|\n"},
    {"SystemDriveFromSystemDirectory", "no=OutputLogDir sysdir=E:\\WINNT\\system32 x",
     "E/DebugSSO/session.log=x,|\n"},
    {"FinalBackslashNotDoubled", "OutputLogDir=D:\\Logs\\ x", "D/Logs/DebugSSO/session.log=x,|\n"},
    {"MissingParentsCreated", "OutputLogDir=D:\\a\\b\\c x", "D/a/b/c/DebugSSO/session.log=x,|\n"},
    {"ExpandableDirectoryIgnored", "expand=D:\\Logs x", "C/DebugSSO/session.log=x,|\n"},
    {"EmptyDirectoryIgnored", "OutputLogDir= x", "C/DebugSSO/session.log=x,|\n"},
    {"Wow64ReadsThe64BitView", "wow64 x", S + "x,|\n"},
    {"FailedCreationRetriedAfterTwoSeconds", "fail=SHCreateDirectoryExW lost +1 early +1 kept",
     S + "kept,|\n"},
    {"DeletedDirectoryMadeAgainAtRefresh", "a rmdir +9 b +1 c", S + "b,|c,|\n"},
    // When the registry is read again, and that each reading starts from the defaults.
    {"OffSeenAfterTenSeconds", "a OutputLog=0 +9 b +1 c", S + "a,|b,|\n"},
    {"OnSeenAfterTwoSeconds", "OutputLog=0 a OutputLog=1 +1 b +1 c", S + "c,|\n"},
    {"DeletedKeySwitchesOff", "a nokey +10 b", S + "a,|\n"},
    {"SwitchOfAnotherTypeIsOff", "binary=OutputLog a", ""},
    {"OffReadsNoDirectory", "OutputLog=0 a", ""},
    {"RemovedDirectoryFallsBack", "a no=OutputLogDir +10 b",
     "C/DebugSSO/session.log=b,|\n" + S + "a,|\n"},
    {"RemovedSizeFallsBack", "OutputLogSize=1 a no=OutputLogSize +10 b", S + "b,|\n" + B + "a,|\n"},
    // The size check and the backup.
    {"ExactLimitMoves", "fill=5 OutputLogSize=70 x", B + "ooo|x,|\n"},
    {"OneByteUnderStays", "fill=5 OutputLogSize=71 x", S + "ooo|x,|\n"},
    {"DefaultLimitMoves", "fill=10485695 x", B + "10485760 bytes\n"},
    {"ZeroSizeIsTheDefault", "OutputLogSize=0 fill=10485694 x", S + "10485759 bytes\n"},
    {"CheckedEveryTenSecondsOneBackup", "OutputLogSize=1 a +9 b +1 c", B + "b,|c,|\n"},
    {"FailedCheckStillCounts", "OutputLogSize=1 fail=CreateFileW a +5 b +5 c", B + "a,|b,|c,|\n"},
    {"CheckSkippedWhileAnotherWrites", "fill=5 OutputLogSize=1 other x", S + "ooo|x,|\n"},
    // Lines held back while the file does not open.
    {"NewestHundredHeldWrittenFirst", "block lines=150 free now", S + [] {
         std::string parts;
         for (int i = 50; i < 150; ++i) parts += "x" + std::to_string(i) + ",|";
         return parts;
     }() + "now,|\n"},
    {"NothingHeldWhileOff", "block held OutputLog=0 +10 free gone OutputLog=1 +2 back",
     S + "held,|back,|\n"},
    {"DestructorFlushesThenChecksSize", "OutputLogSize=1 block held free", B + "held,|\n"},
    {"DestructorUsesTheCurrentDirectory", "block held OutputLog=0 +10 gone free",
     "C/Logs/DebugSSO/\n"},
    // Redirections an ordinary user plants: nothing reaches their files, nothing is made
    // there; a refused file holds its lines back. A folder swapped after the refresh gets
    // an empty file before the check on its handle refuses it (README).
    {"UnusualSpellingIsTheFolderItself", "OutputLogDir=d:/Logs/./x/.. x", "D/Logs/DebugSSO/session.log=x,|\n"},
    {"FolderLinkRefused", "dirlink x", Linked + Own},
    {"FolderAboveLinkRefused", "parentlink x", "C/Logs->Users/mallory\nC/Users/mallory/DebugSSO/\n" + Own},
    {"FileLinkRefusedLineHeld", "filelink x unlink y", S + "x,|y,|\n" + Own},
    {"HardLinkRefusedLineHeld", "hardlink x unlink y", S + "x,|y,|\n" + Own},
    {"FolderSwappedAfterRefresh", "a swap b +10 c",
     Linked + "C/Logs/old/session.log=a,|\n" + Own + "C/Users/mallory/session.log=\n"},
    {"RotationOfTheFileMovedBehindALink", "a steal fill=10485760 +10 rotate",
     Linked + Own + "C/Users/mallory/session.log=10485760 bytes\n"},
};

void PrintTo(const Row& row, std::ostream* out) { *out << row.name; }

class LoggerScript : public test_support::MachineFixture,
                     public testing::WithParamInterface<Row> {};

TEST_P(LoggerScript, LeavesExactlyTheseFiles) {
    RunScript(GetParam().script);
    EXPECT_EQ(Listing(), GetParam().files);
    // A 32-bit process on 64-bit Windows asks for the 64-bit view.
    const bool wow64 = std::string(GetParam().script).find("wow64") != std::string::npos;
    for (const auto& open : winsim::KeyOpens()) EXPECT_EQ(open.access, wow64 ? 0x20119u : 0x20019u);
    EXPECT_EQ(winsim::InheritableWrites(), 0u);
}

INSTANTIATE_TEST_SUITE_P(Rows, LoggerScript, testing::ValuesIn(kRows), test_support::RowName());

// The bytes of one line: the header columns, text, comma, blank and detail, CR LF.
struct LayoutRow {
    const char* name;
    std::function<void()> machine;
    const wchar_t* text;
    const wchar_t* detail;
    std::string bytes;
};

const LayoutRow kLayouts[] = {
    {"TextAndDetail", [] { winsim::SetCurrentSession(2); }, L"Initialize...", L"XenDesktop",
     "2026/12/04T09:05:03.042, SID:000002, PID:004711, TID:005120, Initialize..., XenDesktop\r\n"},
    {"NoTextNoDetail", nullptr, nullptr, nullptr, H + ",\r\n"},
    {"EmptyDetail", nullptr, L"x", L"", H + "x, \r\n"},
    {"Utf8", nullptr, L"Gr\u00fc\u00dfe", L"\u65e5\U0001F600",
     H + "Gr\xc3\xbc\xc3\x9f" "e, \xe6\x97\xa5\xf0\x9f\x98\x80\r\n"},
    {"PaddedTimeLongIds",
     [] {
         winsim::SetLocalTime(2027, 1, 2, 3, 4, 5, 6);
         winsim::SetCurrentSession(1000000);
         winsim::SetCurrentProcessId(12345678);
         winsim::SetCurrentThreadId(1234567);
     },
     L"x", nullptr, "2027/01/02T03:04:05.006, SID:1000000, PID:12345678, TID:1234567, x,\r\n"},
};

void PrintTo(const LayoutRow& row, std::ostream* out) { *out << row.name; }

class LineLayout : public test_support::MachineFixture,
                   public testing::WithParamInterface<LayoutRow> {};

TEST_P(LineLayout, FileHoldsExactlyTheLine) {
    if (GetParam().machine) GetParam().machine();
    ssolog::DebugLog(L"session.log").WriteLine(GetParam().text, GetParam().detail);
    EXPECT_EQ(Bytes(winsim::HostPath(kLogDir + L"session.log")), GetParam().bytes);
}

INSTANTIATE_TEST_SUITE_P(Rows, LineLayout, testing::ValuesIn(kLayouts), test_support::RowName());

}  // namespace
