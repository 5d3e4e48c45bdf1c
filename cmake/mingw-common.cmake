# Shared part of the MinGW-w64 toolchain files. UB_MINGW_TRIPLE is set by
# the including file.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER ${UB_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${UB_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${UB_MINGW_TRIPLE}-windres)
set(CMAKE_DLLTOOL ${UB_MINGW_TRIPLE}-dlltool)
set(CMAKE_FIND_ROOT_PATH /usr/${UB_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# Every program stands alone: no MinGW runtime DLLs beside it.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
# Windows programs run under Wine through this wrapper (tests and tools).
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-exec)
