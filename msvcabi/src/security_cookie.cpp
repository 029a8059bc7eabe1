// The stack cookie that /GS checks at each protected function's return, as Visual C++'s
// start-up code keeps it: a fixed value until the entry point mixes in what differs
// from one process start to the next, before any protected function of the module runs.
#include <vcruntime.h>
#include <windows.h>

extern "C" {
#if defined(_WIN64)
uintptr_t __security_cookie = 0x00002B992DDFA232;
#else
uintptr_t __security_cookie = 0xBB40E64E;
#endif
// Microsoft's run-time keeps the complement beside it.
uintptr_t __security_cookie_complement = ~__security_cookie;

void __cdecl __security_init_cookie(void) {
    FILETIME time = {};
    GetSystemTimeAsFileTime(&time);
    LARGE_INTEGER counter = {};
    QueryPerformanceCounter(&counter);
    uintptr_t cookie = (static_cast<uintptr_t>(time.dwHighDateTime) << 16) ^ time.dwLowDateTime;
    cookie ^= GetCurrentThreadId();
    cookie ^= GetCurrentProcessId();
    cookie ^= static_cast<uintptr_t>(counter.QuadPart) ^ (static_cast<uintptr_t>(counter.QuadPart >> 32) << 16);
    cookie ^= reinterpret_cast<uintptr_t>(&cookie);
#if defined(_WIN64)
    cookie &= 0x0000FFFFFFFFFFFF;  // the top bits stay clear, as in Visual C++
#endif
    if (cookie == 0 || cookie == __security_cookie) cookie ^= 0x4711;
    __security_cookie = cookie;
    __security_cookie_complement = ~cookie;
}

#if defined(_M_IX86)
void __fastcall __security_check_cookie(uintptr_t cookie) {
#else
void __cdecl __security_check_cookie(uintptr_t cookie) {
#endif
    if (cookie != __security_cookie) __report_gsfailure(cookie);
}
}
