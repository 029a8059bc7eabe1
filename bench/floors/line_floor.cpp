#include "line_floor.h"

#include <platform/win32.h>

#include <memory>

namespace bench {

void WriteLineBare(const std::wstring& path, const std::string& line) {
    const std::unique_ptr<FILE, int (*)(FILE*)> file(_wfsopen(path.c_str(), L"a", _SH_DENYNO),
                                                     &std::fclose);
    if (file) std::fputs(line.c_str(), file.get());
}

}  // namespace bench
