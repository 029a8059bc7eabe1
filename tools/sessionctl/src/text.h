// Text conversions of the tool, independent of Win32: wide strings are UTF-16 on
// Windows and UTF-32 on Linux; files and the console are UTF-8.
#pragma once

#include <string>

namespace sessionctl {

std::string ToUtf8(const std::wstring& text);
// Appends one code point as UTF-8.
void AppendUtf8(std::string& out, char32_t codePoint);
// Invalid sequences become U+FFFD.
std::wstring FromUtf8(const std::string& text);

// A text file's bytes as wide text: UTF-16LE when it starts with the FF FE byte
// order mark, else UTF-8 (a UTF-8 byte order mark is dropped).
std::wstring DecodeTextFile(const std::string& bytes);

// The whole file; throws InputError naming the file when it cannot be read.
std::string ReadFileBytes(const std::string& path);

bool EqualsIgnoreCase(const std::wstring& a, const std::wstring& b);
std::wstring ToUpperAscii(std::wstring text);

}  // namespace sessionctl
