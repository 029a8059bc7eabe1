// What an open handle says about its file (links, final path), full paths, file-name
// comparison and handle inheritance. Links of the host stand for Windows' reparse points
// and hard links, so a test plants them with the host's own calls.
#include "machine_state.h"

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <vector>

namespace fs = std::filesystem;
using namespace winsim;
using namespace winsim::detail;

namespace {

// Copies `text` and its terminator when `size` characters hold them; the Win32 answer:
// the length without the terminator, or the size needed with it.
DWORD AnswerText(const std::wstring& text, LPWSTR buffer, DWORD size) {
    if (buffer == nullptr || size <= text.size()) return static_cast<DWORD>(text.size() + 1);
    text.copy(buffer, text.size());
    buffer[text.size()] = L'\0';
    return static_cast<DWORD>(text.size());
}

// The Windows name of a host path: "X:\..." below the file root, a share outside it.
std::wstring WindowsNameLocked(const std::string& hostPath) {
    Machine& m = State();
    if (m.canonicalRootOf != FileRootLocked()) {  // once per root: it costs a call per folder
        std::error_code ignored;
        m.canonicalRootOf = FileRootLocked();
        m.canonicalRoot = fs::weakly_canonical(m.canonicalRootOf, ignored).string() + "/";
    }
    const std::string& root = m.canonicalRoot;
    const bool onDrive = hostPath.size() > root.size() && hostPath.compare(0, root.size(), root) == 0 &&
                         (hostPath.size() == root.size() + 1 || hostPath[root.size() + 1] == '/');
    std::wstring name;
    if (onDrive) {
        name = Widen(hostPath.substr(root.size(), 1)) + L":" + Widen(hostPath.substr(root.size() + 1));
        if (name.size() == 2) name += L'\\';
    } else {
        name = L"UNC\\host" + Widen(hostPath);
    }
    for (auto& c : name) {
        if (c == L'/') c = L'\\';
    }
    return L"\\\\?\\" + name;
}

}  // namespace

namespace winsim {

unsigned long InheritableWrites() {
    Guard guard = Lock();
    return State().inheritableWrites;
}

}  // namespace winsim

// The two classes the log asks about; handles here are of files (CreateFileW opens no
// folder, and opens follow links).
extern "C" BOOL GetFileInformationByHandleEx(HANDLE file, FILE_INFO_BY_HANDLE_CLASS infoClass, LPVOID info,
                                             DWORD size) {
    if (auto fault = Enter("GetFileInformationByHandleEx")) return Fail(*fault, FALSE);
    Guard guard = Lock();
    const FileOpen* open = OpenOfLocked(file);
    if (open == nullptr) return Fail(ERROR_INVALID_HANDLE, FALSE);
    struct stat status {};
    if (info == nullptr || ::fstat(open->fd, &status) != 0) return Fail(ERROR_INVALID_PARAMETER, FALSE);
    if (infoClass == FileBasicInfo && size >= sizeof(FILE_BASIC_INFO)) {
        *static_cast<FILE_BASIC_INFO*>(info) = {};
        static_cast<FILE_BASIC_INFO*>(info)->FileAttributes = FILE_ATTRIBUTE_ARCHIVE;
        return TRUE;
    }
    if (infoClass == FileStandardInfo && size >= sizeof(FILE_STANDARD_INFO)) {
        auto* standard = static_cast<FILE_STANDARD_INFO*>(info);
        *standard = {};
        standard->AllocationSize.QuadPart = status.st_blocks * 512;
        standard->EndOfFile.QuadPart = status.st_size;
        standard->NumberOfLinks = static_cast<DWORD>(status.st_nlink);
        return TRUE;
    }
    return Fail(ERROR_INVALID_PARAMETER, FALSE);
}

extern "C" DWORD GetFinalPathNameByHandleW(HANDLE file, LPWSTR path, DWORD size, DWORD flags) {
    if (auto fault = Enter("GetFinalPathNameByHandleW")) return Fail(*fault, DWORD{0});
    if (flags != (FILE_NAME_NORMALIZED | VOLUME_NAME_DOS)) return Fail(ERROR_INVALID_PARAMETER, DWORD{0});
    Guard guard = Lock();
    const FileOpen* open = OpenOfLocked(file);
    if (open == nullptr) return Fail(ERROR_INVALID_HANDLE, DWORD{0});
    // The kernel's name of the open: every link on the way resolved, a link opened itself kept.
    std::vector<char> target(4096);
    const std::string self = "/proc/self/fd/" + std::to_string(open->fd);
    const ssize_t length = ::readlink(self.c_str(), target.data(), target.size());
    if (length <= 0 || static_cast<size_t>(length) >= target.size()) return Fail(ERROR_INVALID_HANDLE, DWORD{0});
    return AnswerText(WindowsNameLocked(std::string(target.data(), static_cast<size_t>(length))), path, size);
}

// Separators, repeated backslashes, "." and ".." as Windows resolves them, before any file
// is asked; a path without a drive is on C:, the simulated current drive.
extern "C" DWORD GetFullPathNameW(LPCWSTR fileName, DWORD size, LPWSTR buffer, LPWSTR* filePart) {
    if (auto fault = Enter("GetFullPathNameW")) return Fail(*fault, DWORD{0});
    if (fileName == nullptr || *fileName == L'\0') return Fail(ERROR_INVALID_PARAMETER, DWORD{0});
    std::wstring path(fileName);
    for (auto& c : path) {
        if (c == L'/') c = L'\\';
    }
    const bool drive = path.size() >= 2 && path[1] == L':';
    std::wstring full = drive ? path.substr(0, 2) : L"C:";
    std::vector<std::wstring> parts;
    std::wstring part;
    for (wchar_t c : path.substr(drive ? 2 : 0) + L'\\') {
        if (c != L'\\') {
            part += c;
            continue;
        }
        if (part == L"..") {
            if (!parts.empty()) parts.pop_back();
        } else if (!part.empty() && part != L".") {
            parts.push_back(part);
        }
        part.clear();
    }
    for (const auto& each : parts) full += L"\\" + each;
    if (parts.empty()) full += L'\\';
    const DWORD answer = AnswerText(full, buffer, size);
    if (filePart != nullptr) {
        *filePart = answer < size && !parts.empty() ? buffer + full.size() - parts.back().size() : nullptr;
    }
    return answer;
}

extern "C" BOOL SetHandleInformation(HANDLE object, DWORD mask, DWORD flags) {
    if (auto fault = Enter("SetHandleInformation")) return Fail(*fault, FALSE);
    Guard guard = Lock();
    FileOpen* open = OpenOfLocked(object);
    if (open == nullptr) return Fail(ERROR_INVALID_HANDLE, FALSE);
    if (mask & HANDLE_FLAG_INHERIT) open->inheritable = (flags & HANDLE_FLAG_INHERIT) != 0;
    return TRUE;
}

// Not logged: it only compares texts, like _wcsicmp.
extern "C" int CompareStringOrdinal(LPCWSTR a, int aCount, LPCWSTR b, int bCount, BOOL ignoreCase) {
    if (a == nullptr || b == nullptr) return Fail(ERROR_INVALID_PARAMETER, 0);
    std::wstring left(a, aCount < 0 ? std::wcslen(a) : static_cast<size_t>(aCount));
    std::wstring right(b, bCount < 0 ? std::wcslen(b) : static_cast<size_t>(bCount));
    if (ignoreCase) {
        left = Upper(left);
        right = Upper(right);
    }
    const int order = left.compare(right);
    return order < 0 ? 1 : order == 0 ? CSTR_EQUAL : 3;
}
