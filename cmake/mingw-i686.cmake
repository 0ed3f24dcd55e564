# The shipped program: 32-bit Windows, built with the posix-thread MinGW compilers (GoogleTest needs
# std::mutex) and linked statically so it imports only system DLLs.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(VN_MINGW_TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
