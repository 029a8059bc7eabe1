# The i686 MinGW-w64 cross build with the posix thread model, which Google Benchmark needs
# (std::mutex, std::condition_variable). Used for the Wine benchmark build only; the
# product keeps the win32 thread model.
include(${CMAKE_CURRENT_LIST_DIR}/../cmake/toolchain-mingw32.cmake)
set(CMAKE_C_COMPILER i686-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER i686-w64-mingw32-g++-posix)
