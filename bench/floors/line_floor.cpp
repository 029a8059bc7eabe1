#include "line_floor.h"

#include <platform/win32.h>
#include <platform/win32_raii.h>

#include "log_limits.h"  // ssolog's lock range

#include <memory>

namespace bench {

void WriteLineBare(const std::wstring& path, const std::string& line) {
    const std::unique_ptr<FILE, int (*)(FILE*)> file(_wfsopen(path.c_str(), L"a", _SH_DENYNO),
                                                     &std::fclose);
    if (file) std::fputs(line.c_str(), file.get());
}

void WriteLineLocked(const std::wstring& path, const std::string& line) {
    const std::unique_ptr<FILE, int (*)(FILE*)> file(_wfsopen(path.c_str(), L"a", _SH_DENYNO),
                                                     &std::fclose);
    if (!file) return;
    platform::FileRangeLock writers(ssolog::kWritersLockOffset, ssolog::kWritersLockLength);
    writers.TryLock(reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file.get()))));
    std::fputs(line.c_str(), file.get());
    std::fflush(file.get());
}

}  // namespace bench
