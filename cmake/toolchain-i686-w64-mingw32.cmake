# Cross-compiles for 32-bit Windows with the posix-thread flavour of
# mingw-w64, whose libstdc++ has std::thread and friends.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)

set(RYL_TRIPLE i686-w64-mingw32)
set(CMAKE_C_COMPILER   ${RYL_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${RYL_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER  ${RYL_TRIPLE}-windres)
set(CMAKE_AR           /usr/bin/${RYL_TRIPLE}-ar CACHE FILEPATH "")
set(CMAKE_RANLIB       /usr/bin/${RYL_TRIPLE}-ranlib CACHE FILEPATH "")

set(CMAKE_FIND_ROOT_PATH /usr/${RYL_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Every executable and the DLL carry their runtime inside them, so nothing
# but Windows' own DLLs has to be found at load time.
set(CMAKE_EXE_LINKER_FLAGS_INIT    "-static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
