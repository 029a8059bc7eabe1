// The fixed numbers of the diagnostic log.
#pragma once

#include <platform/win32.h>

namespace ssolog {

constexpr DWORD kDefaultMaxFileSize = 10485760;  // 10 MiB
constexpr __time64_t kRefreshWhileOnSeconds = 10;
constexpr __time64_t kRefreshWhileOffSeconds = 2;
constexpr __time64_t kSizeCheckSeconds = 10;
constexpr size_t kMaxPendingLines = 100;

}  // namespace ssolog
