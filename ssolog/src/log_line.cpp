// Line layout: "<local time>, SID:<n>, PID:<n>, TID:<n>, <text>,[ <detail>]\n".
#include "log_line.h"

#include <ssolog/trace.h>

#include <platform/win32.h>

namespace ssolog {

namespace {

constexpr size_t kHeaderBytes = 256;
constexpr size_t kReservedLineBytes = 1024;

DWORD CurrentSessionId() {
    DWORD sessionId = 0;
    if (!ProcessIdToSessionId(GetCurrentProcessId(), &sessionId)) sessionId = 0;
    return sessionId;
}

}  // namespace

std::string FormatLine(const wchar_t* text, const wchar_t* detail) {
    SYSTEMTIME now = {};
    GetLocalTime(&now);
    char header[kHeaderBytes] = {};
    sprintf_s(header, sizeof(header),
              "%04d/%02d/%02dT%02d:%02d:%02d.%03d, SID:%06d, PID:%06d, TID:%06d, ",
              static_cast<int>(now.wYear), static_cast<int>(now.wMonth),
              static_cast<int>(now.wDay), static_cast<int>(now.wHour),
              static_cast<int>(now.wMinute), static_cast<int>(now.wSecond),
              static_cast<int>(now.wMilliseconds), static_cast<int>(CurrentSessionId()),
              static_cast<int>(GetCurrentProcessId()), static_cast<int>(GetCurrentThreadId()));

    std::string line;
    line.reserve(kReservedLineBytes);
    line += header;
    if (text != nullptr) line += WideToUtf8(text);
    line += ',';
    if (detail != nullptr) {
        line += ' ';
        line += WideToUtf8(detail);
    }
    line += '\n';
    return line;
}

}  // namespace ssolog
