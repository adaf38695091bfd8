# Cross build for Windows x86-64 with Debian's mingw-w64 (the "-posix" thread model, which
# std::thread and std::mutex need). Everything is linked statically, so the program needs only
# the DLLs that ship with Windows.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(ZENTRO_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${ZENTRO_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ZENTRO_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${ZENTRO_MINGW_PREFIX}-windres)
set(CMAKE_AR ${ZENTRO_MINGW_PREFIX}-gcc-ar-posix CACHE FILEPATH "archiver")
set(CMAKE_RANLIB ${ZENTRO_MINGW_PREFIX}-gcc-ranlib-posix CACHE FILEPATH "ranlib")
set(CMAKE_STRIP ${ZENTRO_MINGW_PREFIX}-strip CACHE FILEPATH "strip")
set(CMAKE_OBJDUMP ${ZENTRO_MINGW_PREFIX}-objdump CACHE FILEPATH "objdump")

set(CMAKE_FIND_ROOT_PATH /usr/${ZENTRO_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# -static takes libstdc++, libgcc and winpthreads from their archives, not from DLLs.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Programs built here run through Wine (ctest, gtest discovery).
find_program(ZENTRO_WINE wine)
if(ZENTRO_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${ZENTRO_WINE})
endif()
