// The image's load configuration, as Visual C++'s run-time library supplies it: the stack
// cookie for the loader to seed; on x86 the table of safe exception handlers (SafeSEH:
// without it the linker marks the image as having none, and Windows would refuse its C++
// exception handlers) and the Control Flow Guard tables with the check pointer, which the
// loader of a Windows that enforces the guard replaces and which otherwise calls straight
// through. On x64 the guard stays off: its flags field is the linker's 64-bit absolute
// symbol truncated to 32 bits, which no C++ initialiser can express.
#include <vcruntime.h>

#include <stdint.h>

extern "C" {
#if defined(_M_IX86)
// Made by the linker.
extern void* __safe_se_handler_table[];
extern unsigned char __safe_se_handler_count;
extern void* __guard_fids_table[];
extern unsigned char __guard_fids_count;
extern unsigned char __guard_flags;
extern void* __guard_iat_table[];
extern unsigned char __guard_iat_count;
extern void* __guard_longjmp_table[];
extern unsigned char __guard_longjmp_count;

static void __fastcall CallStraightThrough(uintptr_t) {}
const void* __guard_check_icall_fptr = reinterpret_cast<const void*>(&CallStraightThrough);
#endif

// IMAGE_LOAD_CONFIG_DIRECTORY32/64 up to the long-jump targets (Windows 10); the fields the
// image leaves zero are named by their sizes only, as their order differs between the two.
struct LoadConfigDirectory {
    uint32_t Size;
    uint32_t TimeDateStamp;
    uint16_t MajorVersion, MinorVersion;
    uint32_t GlobalFlagsClear, GlobalFlagsSet, CriticalSectionDefaultTimeout;
    uintptr_t Zero[6];  // decommit thresholds, lock prefixes, allocation and memory limits, affinity
    uint32_t ProcessHeapFlags;
    uint16_t CSDVersion, DependentLoadFlags;
    uintptr_t EditList;
    const void* SecurityCookie;
    const void* SEHandlerTable;
    uintptr_t SEHandlerCount;
    const void* GuardCFCheckFunctionPointer;
    const void* GuardCFDispatchFunctionPointer;
    const void* GuardCFFunctionTable;
    uintptr_t GuardCFFunctionCount;
    uint32_t GuardFlags;
    uint32_t CodeIntegrity[3];
    const void* GuardAddressTakenIatEntryTable;
    uintptr_t GuardAddressTakenIatEntryCount;
    const void* GuardLongJumpTargetTable;
    uintptr_t GuardLongJumpTargetCount;
};

extern const LoadConfigDirectory _load_config_used = {
    sizeof(LoadConfigDirectory), 0, 0, 0, 0, 0, 0, {}, 0, 0, 0, 0, &__security_cookie,
#if defined(_M_IX86)
    __safe_se_handler_table, reinterpret_cast<uintptr_t>(&__safe_se_handler_count),
    &__guard_check_icall_fptr, nullptr,
    __guard_fids_table, reinterpret_cast<uintptr_t>(&__guard_fids_count),
    reinterpret_cast<uintptr_t>(&__guard_flags), {},
    __guard_iat_table, reinterpret_cast<uintptr_t>(&__guard_iat_count),
    __guard_longjmp_table, reinterpret_cast<uintptr_t>(&__guard_longjmp_count)
#else
    nullptr, 0, nullptr, nullptr, nullptr, 0, 0, {}, nullptr, 0, nullptr, 0
#endif
};
}
