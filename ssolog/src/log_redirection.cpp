// The checks of log_redirection.h. The file's are made on the handle already taken, so
// that what is checked is what is written; the folder's at each refresh, on its entries.
#include "log_redirection.h"

#include <platform/win32_raii.h>

#include <vector>

namespace ssolog {

namespace {

// A text that Win32 answers into a buffer, asked again while the buffer is too small;
// empty when the call fails.
template <class Ask>
std::wstring AnsweredText(Ask ask) {
    std::vector<WCHAR> buffer(MAX_PATH + 1);
    for (int attempt = 0; attempt < 3; ++attempt) {
        const DWORD length = ask(buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0) break;
        if (length < buffer.size()) return std::wstring(buffer.data(), length);
        buffer.resize(length);
    }
    return std::wstring();
}

// A path in its plain form: "\\?\UNC\server\..." as "\\server\...", "\\?\C:\..." as "C:\...".
std::wstring WithoutPrefix(const std::wstring& path) {
    const std::wstring share = L"\\\\?\\UNC\\";
    const std::wstring local = L"\\\\?\\";
    if (path.compare(0, share.size(), share) == 0) return L"\\\\" + path.substr(share.size());
    if (path.compare(0, local.size(), local) == 0) return path.substr(local.size());
    return path;
}

// The path Windows opens for `path`: separators, "." and ".." resolved, drive added.
std::wstring FullPath(const wchar_t* path) {
    return WithoutPrefix(AnsweredText([path](WCHAR* buffer, DWORD size) {
        return GetFullPathNameW(path, size, buffer, nullptr);
    }));
}

// Where the handle's file really is.
std::wstring FinalPath(HANDLE file) {
    return WithoutPrefix(AnsweredText([file](WCHAR* buffer, DWORD size) {
        return GetFinalPathNameByHandleW(file, buffer, size, FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    }));
}

// Where the folders of a plain full path start: after "X:\" or "\\server\share\".
size_t FoldersStart(const std::wstring& path) {
    if (path.compare(0, 2, L"\\\\") != 0) return 3;
    const size_t server = path.find(L'\\', 2);
    const size_t share = server == std::wstring::npos ? server : path.find(L'\\', server + 1);
    return share == std::wstring::npos ? path.size() : share + 1;
}

// File names compare without regard to case, as the file system does.
bool LeadsTo(HANDLE file, const wchar_t* path) {
    const std::wstring finalPath = FinalPath(file);
    const std::wstring named = FullPath(path);
    return !finalPath.empty() && CompareStringOrdinal(finalPath.c_str(), static_cast<int>(finalPath.size()),
                                                      named.c_str(), static_cast<int>(named.size()),
                                                      TRUE) == CSTR_EQUAL;
}

bool IsReparsePoint(const BY_HANDLE_FILE_INFORMATION& information) {
    return (information.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

}  // namespace

bool IsOwnFolder(const std::wstring& directory) {
    try {
        // Each folder from the log's up to the root is read as an entry: a junction or a
        // symbolic link shows its reparse point and is not followed.
        std::wstring folder = FullPath(directory.c_str());
        const size_t start = FoldersStart(folder);
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
        BY_HANDLE_FILE_INFORMATION information = {};
        return GetFileInformationByHandle(file, &information) && !IsReparsePoint(information) &&
               information.nNumberOfLinks == 1 && LeadsTo(file, path);
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
