// A text handed out by the Terminal Services or Citrix API, read within the byte count the
// call returned: up to its first NUL, or up to the count when none lies inside it. A count
// that ends inside a character leaves that character out.
#pragma once

#include <platform/win32.h>

#include <algorithm>
#include <string>

namespace sessionctrl {

inline std::wstring TextWithinBytes(const WCHAR* text, DWORD bytes) {
    const WCHAR* const end = text + bytes / sizeof(WCHAR);
    return std::wstring(text, std::find(text, end, L'\0'));
}

}  // namespace sessionctrl
