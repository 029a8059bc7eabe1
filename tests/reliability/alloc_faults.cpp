#include "alloc_faults.h"

#include <dlfcn.h>
#include <execinfo.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <new>

namespace alloc_faults {
namespace {

std::atomic<bool> g_armed{false};
std::atomic<unsigned> g_counted{0};
std::atomic<unsigned> g_failAt{0};
std::atomic<bool> g_delivered{false};
thread_local int t_platformDepth = 0;
thread_local bool t_inHook = false;

// True when a frame of the calling stack lies in the simulated Windows.
bool CalledFromWinsim() {
    void* frames[64];
    const int depth = backtrace(frames, 64);
    for (int i = 0; i < depth; ++i) {
        Dl_info info{};
        if (dladdr(frames[i], &info) != 0 && info.dli_fname != nullptr &&
            std::strstr(info.dli_fname, "libwinsim") != nullptr)
            return true;
    }
    return false;
}

// Whether this allocation is to fail.
bool ShouldFail() {
    if (!g_armed.load(std::memory_order_relaxed) || t_platformDepth > 0 || t_inHook) return false;
    t_inHook = true;
    const bool library = !CalledFromWinsim();
    t_inHook = false;
    if (!library) return false;
    const unsigned n = g_counted.fetch_add(1) + 1;
    if (n != g_failAt.load()) return false;
    g_delivered = true;
    return true;
}

void* Allocate(std::size_t size) {
    void* block = std::malloc(size == 0 ? 1 : size);
    if (block == nullptr) throw std::bad_alloc();
    return block;
}

void* AllocateAligned(std::size_t size, std::align_val_t alignment) {
    const std::size_t align = static_cast<std::size_t>(alignment);
    void* block = std::aligned_alloc(align, (size + align - 1) / align * align);
    if (block == nullptr) throw std::bad_alloc();
    return block;
}

struct WarmUp {
    // backtrace loads its unwinder on first use, which must not happen inside the hook.
    WarmUp() {
        void* frames[4];
        backtrace(frames, 4);
    }
} g_warmUp;

}  // namespace

void StartCounting() { FailNth(0); }

void FailNth(unsigned nth) {
    g_counted = 0;
    g_failAt = nth;
    g_delivered = false;
    g_armed = true;
}

unsigned Stop() {
    g_armed = false;
    return g_counted.load();
}

bool Delivered() { return g_delivered.load(); }

ForeignScope::ForeignScope() { ++t_platformDepth; }
ForeignScope::~ForeignScope() { --t_platformDepth; }

}  // namespace alloc_faults

using alloc_faults::Allocate;
using alloc_faults::AllocateAligned;
using alloc_faults::ShouldFail;

void* operator new(std::size_t size) {
    if (ShouldFail()) throw std::bad_alloc();
    return Allocate(size);
}
void* operator new[](std::size_t size) {
    if (ShouldFail()) throw std::bad_alloc();
    return Allocate(size);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    if (ShouldFail()) return nullptr;
    return std::malloc(size == 0 ? 1 : size);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    if (ShouldFail()) return nullptr;
    return std::malloc(size == 0 ? 1 : size);
}
void* operator new(std::size_t size, std::align_val_t alignment) {
    if (ShouldFail()) throw std::bad_alloc();
    return AllocateAligned(size, alignment);
}
void* operator new[](std::size_t size, std::align_val_t alignment) {
    if (ShouldFail()) throw std::bad_alloc();
    return AllocateAligned(size, alignment);
}
void operator delete(void* block) noexcept { std::free(block); }
void operator delete[](void* block) noexcept { std::free(block); }
void operator delete(void* block, std::size_t) noexcept { std::free(block); }
void operator delete[](void* block, std::size_t) noexcept { std::free(block); }
void operator delete(void* block, std::align_val_t) noexcept { std::free(block); }
void operator delete[](void* block, std::align_val_t) noexcept { std::free(block); }
void operator delete(void* block, std::size_t, std::align_val_t) noexcept { std::free(block); }
void operator delete[](void* block, std::size_t, std::align_val_t) noexcept { std::free(block); }
