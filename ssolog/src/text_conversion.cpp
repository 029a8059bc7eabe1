// UTF-8 <-> wide text through the code page 65001 conversions of Win32.
#include <ssolog/trace.h>

#include <cstring>
#include <new>
#include <vector>

namespace ssolog {

std::string WideToUtf8(const wchar_t* text) {
    if (text == nullptr || *text == L'\0') return std::string();
    const int length = static_cast<int>(wcslen(text));
    const int needed = WideCharToMultiByte(CP_UTF8, 0, text, length, nullptr, 0, nullptr, nullptr);
    if (needed <= 0) return std::string();
    std::vector<char> buffer(static_cast<size_t>(needed) + 1, '\0');
    if (WideCharToMultiByte(CP_UTF8, 0, text, length, buffer.data(), needed, nullptr, nullptr) <= 0) {
        return std::string();
    }
    return std::string(buffer.data());
}

bool Utf8ToWide(const char* narrowText, std::wstring& wideText) {
    if (narrowText == nullptr) return false;
    wideText.clear();
    if (*narrowText == '\0') return true;
    const int length = static_cast<int>(strlen(narrowText));
    const int needed = MultiByteToWideChar(CP_UTF8, 0, narrowText, length, nullptr, 0);
    if (needed <= 0) return false;
    try {
        std::vector<WCHAR> buffer(static_cast<size_t>(needed) + 1, L'\0');
        if (MultiByteToWideChar(CP_UTF8, 0, narrowText, length, buffer.data(), needed) == 0) {
            return false;
        }
        wideText.assign(buffer.data());
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

}  // namespace ssolog
