// Files on the real disk under a file root, with Windows sharing rules and the CRT's
// text mode (LF written as CR LF), so files come out byte-identical to Windows'.
#include "machine_state.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cwctype>
#include <cstdlib>
#include <filesystem>

namespace fs = std::filesystem;
using namespace winsim;
using namespace winsim::detail;

namespace {

// The default file root is made on first use and removed when this library's statics
// go, which is after those of the programs and modules built on it.
struct DefaultRoot {
    std::string path;
    ~DefaultRoot() {
        std::error_code ignored;
        if (!path.empty()) fs::remove_all(path, ignored);
    }
} defaultRoot;

const std::string& DefaultFileRoot() {
    if (defaultRoot.path.empty()) {
        char pattern[] = "/tmp/winsim-XXXXXX";
        if (const char* made = ::mkdtemp(pattern)) {
            defaultRoot.path = made;
        } else {
            defaultRoot.path = "/tmp/winsim-" + std::to_string(::getpid());
            std::error_code ignored;
            fs::create_directories(defaultRoot.path, ignored);
        }
    }
    return defaultRoot.path;
}

// "" when the path has no drive ("X:\...").
std::string HostPathLocked(const wchar_t* windowsPath) {
    if (windowsPath == nullptr) return {};
    const std::wstring path(windowsPath);
    if (path.size() < 2 || path[1] != L':' || !std::iswalpha(static_cast<wint_t>(path[0]))) {
        return {};
    }
    std::wstring rest = path.substr(2);
    for (auto& c : rest) {
        if (c == L'\\') c = L'/';
    }
    std::string host = FileRootLocked() + "/" + static_cast<char>(std::towupper(path[0]));
    if (!rest.empty() && rest[0] != L'/') host += '/';
    host += Narrow(rest);
    return fs::path(host).lexically_normal().string();
}

bool Conflicts(const FileOpen& held, const FileOpen& wanted) {
    return (held.write && !(wanted.share & FILE_SHARE_WRITE)) ||
           (held.read && !(wanted.share & FILE_SHARE_READ)) ||
           (wanted.write && !(held.share & FILE_SHARE_WRITE)) ||
           (wanted.read && !(held.share & FILE_SHARE_READ));
}

bool SharingAllows(const FileOpen& wanted) {
    for (auto& [id, held] : State().opens) {
        if (held.hostPath == wanted.hostPath && Conflicts(held, wanted)) return false;
    }
    return true;
}

// Whether the file may be renamed or deleted: every open must share delete.
bool DeleteAllowed(const std::string& hostPath) {
    for (auto& [id, held] : State().opens) {
        if (held.hostPath == hostPath && !(held.share & FILE_SHARE_DELETE)) return false;
    }
    return true;
}

DWORD MissingError(const std::string& hostPath) {
    std::error_code ignored;
    return fs::is_directory(fs::path(hostPath).parent_path(), ignored) ? ERROR_FILE_NOT_FOUND
                                                                        : ERROR_PATH_NOT_FOUND;
}

// ---- the CRT stream -----------------------------------------------------------------
struct Stream {
    int fd = -1;
    bool text = true;
    long openId = 0;
};

ssize_t StreamWrite(void* cookie, const char* data, size_t size) {
    // What a CRT stream's flush becomes on Windows.
    if (auto fault = Enter("WriteFile")) return Fail(*fault, static_cast<ssize_t>(-1));
    auto* stream = static_cast<Stream*>(cookie);
    {
        Guard guard = Lock();
        auto open = State().opens.find(stream->openId);
        if (open != State().opens.end() && open->second.inheritable) ++State().inheritableWrites;
    }
    std::string bytes;
    if (stream->text) {
        for (size_t i = 0; i < size; ++i) {
            if (data[i] == '\n') bytes += '\r';
            bytes += data[i];
        }
    } else {
        bytes.assign(data, size);
    }
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(stream->fd, bytes.data() + done, bytes.size() - done);
        if (n <= 0) return -1;
        done += static_cast<size_t>(n);
    }
    return static_cast<ssize_t>(size);
}

ssize_t StreamRead(void* cookie, char* data, size_t size) {
    auto* stream = static_cast<Stream*>(cookie);
    for (;;) {
        const ssize_t n = ::read(stream->fd, data, size);
        if (n <= 0 || !stream->text) return n;
        // CR LF reads as LF. A CR at the end of a chunk is kept (rare; no look-ahead).
        size_t kept = 0;
        for (ssize_t i = 0; i < n; ++i) {
            if (data[i] == '\r' && i + 1 < n && data[i + 1] == '\n') continue;
            data[kept++] = data[i];
        }
        if (kept > 0) return static_cast<ssize_t>(kept);
    }
}

int StreamSeek(void* cookie, off64_t* offset, int whence) {
    const off64_t result = ::lseek64(static_cast<Stream*>(cookie)->fd, *offset, whence);
    if (result < 0) return -1;
    *offset = result;
    return 0;
}

int StreamClose(void* cookie) {
    auto* stream = static_cast<Stream*>(cookie);
    const int result = ::close(stream->fd);
    {
        Guard guard = Lock();
        State().opens.erase(stream->openId);  // gone already after a Reset
    }
    delete stream;
    return result;
}

}  // namespace

std::string winsim::detail::FileRootLocked() {
    Machine& m = State();
    if (m.fileRoot.empty()) m.fileRoot = DefaultFileRoot();
    return m.fileRoot;
}

namespace winsim {

void SetFileRoot(const std::string& hostDirectory) {
    Guard guard = Lock();
    State().fileRoot = hostDirectory;
}

std::string HostPath(const std::wstring& windowsPath) {
    Guard guard = Lock();
    return HostPathLocked(windowsPath.c_str());
}

}  // namespace winsim

extern "C" FILE* _wfsopen(const wchar_t* fileName, const wchar_t* mode, int shareFlag) {
    if (auto fault = Enter("_wfsopen")) {
        errno = EACCES;
        return Fail(*fault, static_cast<FILE*>(nullptr));
    }
    if (fileName == nullptr || mode == nullptr ||
        (mode[0] != L'r' && mode[0] != L'w' && mode[0] != L'a')) {
        errno = EINVAL;
        return Fail(ERROR_INVALID_PARAMETER, static_cast<FILE*>(nullptr));
    }
    const bool update = std::wcschr(mode, L'+') != nullptr;
    const bool binary = std::wcschr(mode, L'b') != nullptr;
    FileOpen open;
    open.stream = true;
    // The CRT's handles are inheritable unless the mode says "N".
    open.inheritable = std::wcschr(mode, L'N') == nullptr;
    open.read = mode[0] == L'r' || update;
    open.write = mode[0] != L'r' || update;
    switch (shareFlag) {
        case _SH_DENYRW: open.share = 0; break;
        case _SH_DENYWR: open.share = FILE_SHARE_READ; break;
        case _SH_DENYRD: open.share = FILE_SHARE_WRITE; break;
        default: open.share = FILE_SHARE_READ | FILE_SHARE_WRITE; break;
    }
    Guard guard = Lock();
    open.hostPath = HostPathLocked(fileName);
    if (open.hostPath.empty()) {
        errno = ENOENT;
        return Fail(ERROR_PATH_NOT_FOUND, static_cast<FILE*>(nullptr));
    }
    if (!SharingAllows(open)) {
        errno = EACCES;
        return Fail(ERROR_SHARING_VIOLATION, static_cast<FILE*>(nullptr));
    }
    int flags = update ? O_RDWR : (mode[0] == L'r' ? O_RDONLY : O_WRONLY);
    if (mode[0] == L'w') flags |= O_CREAT | O_TRUNC;
    if (mode[0] == L'a') flags |= O_CREAT | O_APPEND;
    const int fd = ::open(open.hostPath.c_str(), flags | O_CLOEXEC, 0644);
    if (fd < 0) {
        const DWORD error = errno == ENOENT ? MissingError(open.hostPath) : ERROR_ACCESS_DENIED;
        return Fail(error, static_cast<FILE*>(nullptr));
    }
    auto* stream = new Stream{fd, !binary, State().nextOpenId++};
    const char* cookieMode = mode[0] == L'r' ? (update ? "r+" : "r")
                             : mode[0] == L'w' ? (update ? "w+" : "w")
                                               : (update ? "a+" : "a");
    FILE* file = ::fopencookie(stream, cookieMode,
                               cookie_io_functions_t{StreamRead, StreamWrite, StreamSeek, StreamClose});
    if (file == nullptr) {
        ::close(fd);
        delete stream;
        return Fail(ERROR_NOT_ENOUGH_MEMORY, static_cast<FILE*>(nullptr));
    }
    open.fd = fd;
    open.file = file;
    open.osHandle = NewHandleValue();
    State().opens[stream->openId] = open;
    return file;
}

extern "C" HANDLE CreateFileW(LPCWSTR fileName, DWORD access, DWORD shareMode, LPSECURITY_ATTRIBUTES,
                              DWORD creation, DWORD, HANDLE) {
    if (auto fault = Enter("CreateFileW")) return Fail(*fault, INVALID_HANDLE_VALUE);
    Guard guard = Lock();
    FileOpen open;
    open.hostPath = HostPathLocked(fileName);
    open.read = (access & GENERIC_READ) != 0;
    open.write = (access & GENERIC_WRITE) != 0;
    open.share = shareMode;
    if (open.hostPath.empty()) return Fail(ERROR_PATH_NOT_FOUND, INVALID_HANDLE_VALUE);
    std::error_code ignored;
    const bool exists = fs::exists(open.hostPath, ignored);
    if (fs::is_directory(open.hostPath, ignored)) return Fail(ERROR_ACCESS_DENIED, INVALID_HANDLE_VALUE);
    if (!exists && (creation == OPEN_EXISTING || creation == TRUNCATE_EXISTING)) {
        return Fail(MissingError(open.hostPath), INVALID_HANDLE_VALUE);
    }
    if (exists && creation == CREATE_NEW) return Fail(ERROR_FILE_EXISTS, INVALID_HANDLE_VALUE);
    if (exists && !SharingAllows(open)) return Fail(ERROR_SHARING_VIOLATION, INVALID_HANDLE_VALUE);
    int flags = open.read && open.write ? O_RDWR : open.write ? O_WRONLY : O_RDONLY;
    if (creation != OPEN_EXISTING && creation != TRUNCATE_EXISTING) flags |= O_CREAT;
    if (creation == CREATE_ALWAYS || creation == TRUNCATE_EXISTING) flags |= O_TRUNC;
    const int fd = ::open(open.hostPath.c_str(), flags | O_CLOEXEC, 0644);
    if (fd < 0) {
        return Fail(errno == ENOENT ? MissingError(open.hostPath) : ERROR_ACCESS_DENIED,
                    INVALID_HANDLE_VALUE);
    }
    const long openId = State().nextOpenId++;
    open.fd = fd;
    State().opens[openId] = open;
    HANDLE handle = NewHandleValue();
    HandleEntry entry;
    entry.kind = HandleKind::File;
    entry.fd = fd;
    entry.openId = openId;
    State().handles[handle] = entry;
    // Windows reports an existing file this way on the creating dispositions.
    SetLastError(exists && (creation == CREATE_ALWAYS || creation == OPEN_ALWAYS) ? ERROR_ALREADY_EXISTS
                                                                                 : ERROR_SUCCESS);
    return handle;
}

extern "C" BOOL GetFileSizeEx(HANDLE file, PLARGE_INTEGER size) {
    if (auto fault = Enter("GetFileSizeEx")) return Fail(*fault, FALSE);
    Guard guard = Lock();
    auto it = State().handles.find(file);
    if (it == State().handles.end() || it->second.kind != HandleKind::File) {
        return Fail(ERROR_INVALID_HANDLE, FALSE);
    }
    struct stat info {};
    if (size == nullptr || ::fstat(it->second.fd, &info) != 0) return Fail(ERROR_INVALID_PARAMETER, FALSE);
    size->QuadPart = info.st_size;
    return TRUE;
}

extern "C" BOOL MoveFileExW(LPCWSTR existing, LPCWSTR target, DWORD flags) {
    if (auto fault = Enter("MoveFileExW")) return Fail(*fault, FALSE);
    Guard guard = Lock();
    const std::string from = HostPathLocked(existing);
    const std::string to = HostPathLocked(target);
    if (from.empty() || to.empty()) return Fail(ERROR_PATH_NOT_FOUND, FALSE);
    std::error_code ignored;
    if (!fs::exists(from, ignored)) return Fail(MissingError(from), FALSE);
    if (!DeleteAllowed(from) || !DeleteAllowed(to)) return Fail(ERROR_SHARING_VIOLATION, FALSE);
    if (fs::exists(to, ignored)) {
        if (!(flags & MOVEFILE_REPLACE_EXISTING)) return Fail(ERROR_ALREADY_EXISTS, FALSE);
        if (fs::is_directory(to, ignored)) return Fail(ERROR_ACCESS_DENIED, FALSE);
    }
    if (::rename(from.c_str(), to.c_str()) != 0) {
        return Fail(errno == ENOENT ? ERROR_PATH_NOT_FOUND : ERROR_ACCESS_DENIED, FALSE);
    }
    return TRUE;
}

extern "C" BOOL DeleteFileW(LPCWSTR fileName) {
    if (auto fault = Enter("DeleteFileW")) return Fail(*fault, FALSE);
    Guard guard = Lock();
    const std::string path = HostPathLocked(fileName);
    if (path.empty()) return Fail(ERROR_PATH_NOT_FOUND, FALSE);
    std::error_code ignored;
    if (!fs::exists(path, ignored)) return Fail(MissingError(path), FALSE);
    if (fs::is_directory(path, ignored)) return Fail(ERROR_ACCESS_DENIED, FALSE);
    if (!DeleteAllowed(path)) return Fail(ERROR_SHARING_VIOLATION, FALSE);
    if (::unlink(path.c_str()) != 0) return Fail(ERROR_ACCESS_DENIED, FALSE);
    return TRUE;
}

extern "C" BOOL PathIsDirectoryW(LPCWSTR path) {
    if (auto fault = Enter("PathIsDirectoryW")) return Fail(*fault, FALSE);
    Guard guard = Lock();
    const std::string host = HostPathLocked(path);
    std::error_code ignored;
    // Windows answers with the attribute bit rather than TRUE.
    return !host.empty() && fs::is_directory(host, ignored) ? FILE_ATTRIBUTE_DIRECTORY : FALSE;
}

// A symbolic link of the host is a reparse point, read itself and not followed; one to a
// folder is also a folder, as Windows' junctions and folder links are.
extern "C" DWORD GetFileAttributesW(LPCWSTR fileName) {
    if (auto fault = Enter("GetFileAttributesW")) return Fail(*fault, DWORD{INVALID_FILE_ATTRIBUTES});
    Guard guard = Lock();
    const std::string host = HostPathLocked(fileName);
    std::error_code ignored;
    if (host.empty()) return Fail(ERROR_PATH_NOT_FOUND, DWORD{INVALID_FILE_ATTRIBUTES});
    if (!fs::exists(fs::symlink_status(host, ignored))) return Fail(MissingError(host), DWORD{INVALID_FILE_ATTRIBUTES});
    const DWORD folder = fs::is_directory(host, ignored) ? FILE_ATTRIBUTE_DIRECTORY : 0;
    if (fs::is_symlink(host, ignored)) return folder | FILE_ATTRIBUTE_REPARSE_POINT;
    return folder != 0 ? folder : FILE_ATTRIBUTE_ARCHIVE;
}

extern "C" int SHCreateDirectoryExW(HWND, LPCWSTR path, const SECURITY_ATTRIBUTES*) {
    if (auto fault = Enter("SHCreateDirectoryExW")) return Fail(*fault, static_cast<int>(*fault));
    Guard guard = Lock();
    const std::string host = HostPathLocked(path);
    if (host.empty()) return Fail(ERROR_BAD_PATHNAME, static_cast<int>(ERROR_BAD_PATHNAME));
    std::error_code ignored;
    if (fs::exists(host, ignored)) {
        return Fail(ERROR_ALREADY_EXISTS, static_cast<int>(ERROR_ALREADY_EXISTS));
    }
    // Every missing parent is made; a file in the way stops it.
    fs::path built;
    for (const auto& part : fs::path(host)) {
        built /= part;
        if (fs::is_directory(built, ignored)) continue;
        if (fs::exists(built, ignored) || !fs::create_directory(built, ignored)) {
            return Fail(ERROR_PATH_NOT_FOUND, static_cast<int>(ERROR_PATH_NOT_FOUND));
        }
    }
    SetLastError(ERROR_SUCCESS);
    return ERROR_SUCCESS;
}
