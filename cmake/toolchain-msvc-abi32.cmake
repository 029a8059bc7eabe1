# Cross build for 32-bit Windows with the Microsoft C++ ABI: clang-cl and lld-link (msvc-abi.cmake).
set(CMAKE_SYSTEM_PROCESSOR x86)
set(HALCYON_MSVC_ABI_TARGET i686-pc-windows-msvc)
include(${CMAKE_CURRENT_LIST_DIR}/msvc-abi.cmake)
