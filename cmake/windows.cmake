# Dependencies of the Windows build (cross-compiled with cmake/mingw-w64-x86_64.cmake).
# pugixml and minizip are compiled from Debian's source packages, fetched at build time by
# scripts/fetch-win-sources.sh into ZENTRO_WIN_SOURCES; zlib is libz-mingw-w64-dev's archive.
# Defines pugixml::pugixml (also as pugixml::static), zentro_minizip and, with the tests, GTest::gtest/gmock/gtest_main.
enable_language(C)
enable_language(RC)

set(ZENTRO_WIN_SOURCES "${PROJECT_BINARY_DIR}/third_party" CACHE PATH
    "Folder holding the unpacked pugixml-* and zlib-* source packages")
file(GLOB pugixml_dirs LIST_DIRECTORIES true "${ZENTRO_WIN_SOURCES}/pugixml-*")
file(GLOB zlib_dirs LIST_DIRECTORIES true "${ZENTRO_WIN_SOURCES}/zlib-*")
list(FILTER pugixml_dirs EXCLUDE REGEX "\\.(gz|xz|bz2|dsc)$")
list(FILTER zlib_dirs EXCLUDE REGEX "\\.(gz|xz|bz2|dsc)$")
if(NOT pugixml_dirs OR NOT zlib_dirs)
  message(FATAL_ERROR "pugixml or zlib sources missing in ${ZENTRO_WIN_SOURCES}: "
                      "run scripts/fetch-win-sources.sh ${ZENTRO_WIN_SOURCES}")
endif()
list(GET pugixml_dirs 0 pugixml_dir)
list(GET zlib_dirs 0 zlib_dir)

find_package(Threads REQUIRED)
find_path(ZENTRO_ZLIB_INCLUDE zlib.h REQUIRED)
find_library(ZENTRO_ZLIB_STATIC NAMES libz.a REQUIRED)

# Third-party code keeps its own warnings to itself.
add_library(zentro_pugixml STATIC "${pugixml_dir}/src/pugixml.cpp")
target_include_directories(zentro_pugixml SYSTEM PUBLIC "${pugixml_dir}/src")
target_compile_options(zentro_pugixml PRIVATE -w)
add_library(pugixml::pugixml ALIAS zentro_pugixml)
# The Linux build links Debian's static library under this name; here it is the same one.
add_library(pugixml::static ALIAS zentro_pugixml)

set(minizip_dir "${zlib_dir}/contrib/minizip")
add_library(zentro_minizip STATIC
  "${minizip_dir}/unzip.c" "${minizip_dir}/ioapi.c" "${minizip_dir}/iowin32.c")
target_include_directories(zentro_minizip SYSTEM PUBLIC "${minizip_dir}" "${ZENTRO_ZLIB_INCLUDE}")
target_compile_options(zentro_minizip PRIVATE -w)
target_link_libraries(zentro_minizip PUBLIC "${ZENTRO_ZLIB_STATIC}")

# The build draws the program's icon (no artwork is kept in the repository).
find_package(Python3 REQUIRED COMPONENTS Interpreter)

if(ZENTRO_BUILD_TESTS)
  set(ZENTRO_GTEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources (libgtest-dev)")
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
  add_subdirectory("${ZENTRO_GTEST_SOURCE}" "${PROJECT_BINARY_DIR}/googletest" EXCLUDE_FROM_ALL)
  foreach(t gtest gtest_main gmock gmock_main)
    target_compile_options(${t} PRIVATE -w)
  endforeach()
endif()
