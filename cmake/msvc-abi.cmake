# The Microsoft C++ ABI without Visual Studio: clang in cl mode and lld-link (LLVM 19), over
# Microsoft's STL headers (third_party/msvc-stl), Wine's C run-time and SDK headers and the
# shims and start-up of msvcabi/. Modules link the shared run-time (/MD: ucrtbase.dll,
# vcruntime140.dll, msvcp140.dll), the one a host built with Visual C++ shares with them.
set(CMAKE_SYSTEM_NAME Windows)
set(HALCYON_MSVC_ABI ON)
set(HALCYON_LLVM_BIN /usr/lib/llvm-19/bin)
set(CMAKE_C_COMPILER ${HALCYON_LLVM_BIN}/clang-cl)
set(CMAKE_CXX_COMPILER ${HALCYON_LLVM_BIN}/clang-cl)
set(CMAKE_C_COMPILER_TARGET ${HALCYON_MSVC_ABI_TARGET})
set(CMAKE_CXX_COMPILER_TARGET ${HALCYON_MSVC_ABI_TARGET})
set(CMAKE_LINKER ${HALCYON_LLVM_BIN}/lld-link)
set(CMAKE_AR ${HALCYON_LLVM_BIN}/llvm-lib)
set(CMAKE_RC_COMPILER ${HALCYON_LLVM_BIN}/llvm-rc)
set(CMAKE_MT ${HALCYON_LLVM_BIN}/llvm-mt)

get_filename_component(HALCYON_SOURCE_DIR ${CMAKE_CURRENT_LIST_DIR}/.. ABSOLUTE)
set(HALCYON_WINE_INCLUDE /usr/include/wine/wine)
# Search order: the shims, which include_next what they complete, then the STL, then Wine.
set(HALCYON_MSVC_ABI_INCLUDES
    ${HALCYON_SOURCE_DIR}/msvcabi/include ${HALCYON_SOURCE_DIR}/third_party/msvc-stl/inc
    ${HALCYON_WINE_INCLUDE}/msvcrt ${HALCYON_WINE_INCLUDE}/windows)
# The STL's vectorised algorithms live in the static part of msvcprt.lib; its plain loops serve.
# Debug information in the objects (/Z7, which ccache can cache) and in a PDB per module.
set(flags "-fms-compatibility-version=19.44 /EHsc /GR /GS /Z7 /Zc:__cplusplus -DWINE_UNICODE_NATIVE -D_USE_STD_VECTOR_ALGORITHMS=0")
foreach(dir ${HALCYON_MSVC_ABI_INCLUDES})
  string(APPEND flags " /imsvc ${dir}")
endforeach()
# The run-time comes from msvcabi/ (import libraries and start-up), not from default libraries.
set(link "/NODEFAULTLIB /MANIFEST:NO /DEBUG /OPT:REF /OPT:ICF")
# Hardening: /GS everywhere (the start-up seeds the cookie); on x86 SafeSEH and Control Flow
# Guard, which the start-up's load configuration carries (msvcabi/src/load_config.cpp).
if(HALCYON_MSVC_ABI_TARGET MATCHES "^i686")
  string(APPEND flags " /guard:cf")
  string(APPEND link " /SAFESEH /guard:cf")
endif()
set(CMAKE_C_FLAGS_INIT "${flags}")
set(CMAKE_CXX_FLAGS_INIT "${flags} /std:c++17")
# llvm-rc ignores "#pragma code_page": the resource scripts are UTF-8.
set(CMAKE_RC_FLAGS_INIT "/C 65001 -I ${HALCYON_WINE_INCLUDE}/windows")
set(CMAKE_EXE_LINKER_FLAGS_INIT "${link}")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "${link}")
# This project makes them; a project built against its installed SDK (a host) takes those a
# build of it made, as a Visual C++ host takes Visual C++'s: HALCYON_MSVC_ABI_RUNTIME_DIR (or
# the environment's) names that build's msvcabi/lib.
if(NOT HALCYON_MSVC_ABI_RUNTIME_DIR AND DEFINED ENV{HALCYON_MSVC_ABI_RUNTIME_DIR})
  set(HALCYON_MSVC_ABI_RUNTIME_DIR $ENV{HALCYON_MSVC_ABI_RUNTIME_DIR})
endif()
set(runtime "")
if(HALCYON_MSVC_ABI_RUNTIME_DIR)
  foreach(lib msvcabi_startup vcruntime140 ucrtbase msvcp140 kernel32)
    string(APPEND runtime " ${HALCYON_MSVC_ABI_RUNTIME_DIR}/${lib}.lib")
  endforeach()
endif()
set(CMAKE_C_STANDARD_LIBRARIES "${runtime}" CACHE STRING "" FORCE)
set(CMAKE_CXX_STANDARD_LIBRARIES "${runtime}" CACHE STRING "" FORCE)

# Nothing links before msvcabi/ has made the run-time: the compiler checks stop at objects.
set(CMAKE_TRY_COMPILE_TARGET_TYPE STATIC_LIBRARY)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
