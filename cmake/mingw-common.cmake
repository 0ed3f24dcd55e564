set(CMAKE_C_COMPILER ${VN_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VN_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${VN_MINGW_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${VN_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# Packages of the host (its GoogleTest among them) do not fit this compiler.
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
# DLLs too: an i686 library linked against libgcc's DLL cannot be loaded from a folder without it.
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
