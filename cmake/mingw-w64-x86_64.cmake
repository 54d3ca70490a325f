# Cross-compiling for 64-bit Windows with Debian's MinGW-w64 (the posix thread model,
# which std::thread and Qt need).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR AMD64)

set(tolvane_mingw x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${tolvane_mingw}-gcc-posix)
set(CMAKE_CXX_COMPILER ${tolvane_mingw}-g++-posix)
set(CMAKE_RC_COMPILER ${tolvane_mingw}-windres)
set(CMAKE_AR ${tolvane_mingw}-ar CACHE FILEPATH "")
set(CMAKE_RANLIB ${tolvane_mingw}-ranlib CACHE FILEPATH "")

set(CMAKE_FIND_ROOT_PATH /usr/${tolvane_mingw})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
