// The replaceable operator new and delete of Visual C++'s run-time library, over ucrtbase's
// heap: new calls the new-handler (_callnewh) and throws std::bad_alloc when the heap is out.
#include <malloc.h>
#include <new>
#include <stdint.h>

extern "C" _ACRTIMP int __cdecl _callnewh(size_t size);

namespace std {
const nothrow_t nothrow{};
}

namespace {

void* Allocate(size_t size) {
    for (;;) {
        if (void* block = malloc(size == 0 ? 1 : size)) return block;
        if (_callnewh(size) == 0) throw std::bad_alloc();
    }
}

void* AllocateAligned(size_t size, std::align_val_t alignment) {
    for (;;) {
        if (void* block = _aligned_malloc(size == 0 ? 1 : size, static_cast<size_t>(alignment))) return block;
        if (_callnewh(size) == 0) throw std::bad_alloc();
    }
}

}  // namespace

void* __cdecl operator new(size_t size) { return Allocate(size); }
void* __cdecl operator new[](size_t size) { return Allocate(size); }
void* __cdecl operator new(size_t size, std::align_val_t alignment) { return AllocateAligned(size, alignment); }
void* __cdecl operator new[](size_t size, std::align_val_t alignment) { return AllocateAligned(size, alignment); }

void* __cdecl operator new(size_t size, const std::nothrow_t&) noexcept {
    try {
        return Allocate(size);
    } catch (...) {
        return nullptr;
    }
}
void* __cdecl operator new[](size_t size, const std::nothrow_t& tag) noexcept { return operator new(size, tag); }

void __cdecl operator delete(void* block) noexcept { free(block); }
void __cdecl operator delete[](void* block) noexcept { free(block); }
void __cdecl operator delete(void* block, const std::nothrow_t&) noexcept { free(block); }
void __cdecl operator delete[](void* block, const std::nothrow_t&) noexcept { free(block); }
void __cdecl operator delete(void* block, size_t) noexcept { free(block); }
void __cdecl operator delete[](void* block, size_t) noexcept { free(block); }
void __cdecl operator delete(void* block, std::align_val_t) noexcept { _aligned_free(block); }
void __cdecl operator delete[](void* block, std::align_val_t) noexcept { _aligned_free(block); }
void __cdecl operator delete(void* block, size_t, std::align_val_t) noexcept { _aligned_free(block); }
void __cdecl operator delete[](void* block, size_t, std::align_val_t) noexcept { _aligned_free(block); }
