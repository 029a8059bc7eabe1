// The checks of log_redirection.h. The file's are made on the handle already taken, so
// that what is checked is what is written; the folder's at each refresh, on its entries.
#include "log_redirection.h"

#include <platform/win32_raii.h>

#include <string_view>

namespace ssolog {

namespace {

// A path that Win32 answers into a buffer, asked again while the buffer is too small;
// empty when the call fails.
template <class Ask>
std::wstring AnsweredPath(Ask ask) {
    std::wstring path(MAX_PATH, L'\0');
    for (int attempt = 0; attempt < 3; ++attempt) {
        // Room for size() characters and the terminator; a longer answer is the room needed.
        const DWORD length = ask(&path[0], static_cast<DWORD>(path.size() + 1));
        if (length == 0) break;
        const bool fits = length <= path.size();
        path.resize(length);
        if (fits) return path;
    }
    return std::wstring();
}

// The path Windows opens for `path`: separators, "." and ".." resolved, drive added.
std::wstring FullPath(const wchar_t* path) {
    return AnsweredPath([path](WCHAR* buffer, DWORD size) { return GetFullPathNameW(path, size, buffer, nullptr); });
}

// Where the handle's file really is.
std::wstring FinalPath(HANDLE file) {
    return AnsweredPath([file](WCHAR* buffer, DWORD size) {
        return GetFinalPathNameByHandleW(file, buffer, size, FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    });
}

// A full path without what only its spelling adds: "\\?\C:\a" and "C:\a" are both "C:\a",
// "\\?\UNC\server\a" and "\\server\a" both "\server\a".
std::wstring_view Plain(std::wstring_view path) {
    constexpr std::wstring_view share = L"\\\\?\\UNC\\";
    constexpr std::wstring_view local = L"\\\\?\\";
    if (path.substr(0, share.size()) == share) return path.substr(share.size() - 1);
    if (path.substr(0, local.size()) == local) return path.substr(local.size());
    if (path.substr(0, 2) == L"\\\\") return path.substr(1);
    return path;
}

// Where the folders of a plain path start: after "X:\" or "\server\share\".
size_t FoldersStart(std::wstring_view plain) {
    if (plain.substr(0, 1) != L"\\") return 3;
    const size_t share = plain.find(L'\\', plain.find(L'\\', 1) + 1);
    return share == std::wstring_view::npos ? plain.size() : share + 1;
}

// File names compare without regard to case, as the file system does.
bool LeadsTo(HANDLE file, const wchar_t* path) {
    const std::wstring finalPath = FinalPath(file);
    const std::wstring fullPath = FullPath(path);
    const std::wstring_view reached = Plain(finalPath), named = Plain(fullPath);
    return !reached.empty() && CompareStringOrdinal(reached.data(), static_cast<int>(reached.size()), named.data(),
                                                    static_cast<int>(named.size()), TRUE) == CSTR_EQUAL;
}

}  // namespace

bool IsOwnFolder(const std::wstring& directory) {
    try {
        // Each folder from the log's up to the root is read as an entry: a junction or a
        // symbolic link shows its reparse point and is not followed.
        std::wstring folder = FullPath(directory.c_str());
        const std::wstring_view plain = Plain(folder);
        const size_t start = folder.size() - plain.size() + FoldersStart(plain);
        if (folder.size() <= start) return false;
        while (folder.size() > start) {
            const DWORD attributes = GetFileAttributesW(folder.c_str());
            if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY) ||
                (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
                return false;
            }
            folder.resize(folder.rfind(L'\\'));
        }
        return true;
    } catch (...) {
        return false;  // out of memory: refused like a folder that cannot be made
    }
}

bool IsOwnFile(HANDLE file, const wchar_t* path) {
    try {
        // Not GetFileInformationByHandle: its volume serial number is not needed here and
        // costs a round trip to the mount manager under Wine (230 us against 1 us).
        FILE_BASIC_INFO basic = {};
        FILE_STANDARD_INFO standard = {};
        return GetFileInformationByHandleEx(file, FileBasicInfo, &basic, sizeof(basic)) &&
               !(basic.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) &&
               GetFileInformationByHandleEx(file, FileStandardInfo, &standard, sizeof(standard)) &&
               standard.NumberOfLinks == 1 && LeadsTo(file, path);
    } catch (...) {
        return false;  // out of memory: refused like a file that does not open
    }
}

HANDLE UninheritedHandleOf(FILE* file) {
    const int descriptor = _fileno(file);
    if (descriptor < 0) return nullptr;
    const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(descriptor));
    if (handle == INVALID_HANDLE_VALUE || !SetHandleInformation(handle, HANDLE_FLAG_INHERIT, 0)) return nullptr;
    return handle;
}

}  // namespace ssolog
