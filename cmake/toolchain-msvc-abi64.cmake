# Cross build for 64-bit Windows with the Microsoft C++ ABI: clang-cl and lld-link (msvc-abi.cmake).
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(HALCYON_MSVC_ABI_TARGET x86_64-pc-windows-msvc)
include(${CMAKE_CURRENT_LIST_DIR}/msvc-abi.cmake)
