# The Windows build's tests, run under Wine (the toolchain's CMAKE_CROSSCOMPILING_EMULATOR):
#   - the portable suites of tests/remote, tests/installer and tests/app, without the test
#     files that need Linux-only parts (the reference service, cpp-httplib, POSIX calls);
#     which files those are is read from their includes, so new files are sorted by themselves;
#   - tests/win32, the Win32 platform layer's own tests;
#   - the check that VMIZentro.exe imports only DLLs that ship with Windows.
# Included from tests/CMakeLists.txt when ZENTRO_WINDOWS is set.

# Text that marks a test file (or a tests/ header it includes) as Linux-only.
set(zentro_linux_only_markers
  "httplib.h" "tools/refservice" "ref_service_fixture.h" "<unistd.h>" "<sys/" "<pwd.h>"
  "<fcntl.h>" "<dirent.h>" "setenv(" "QApplication" "<Q")

# Sets `out` to TRUE when `file` or a "tests/..." header it includes holds a marker.
function(zentro_linux_only file out)
  set(result FALSE)
  set(pending ${file})
  set(seen "")
  while(pending)
    list(POP_FRONT pending current)
    if(current IN_LIST seen OR NOT EXISTS ${current})
      continue()
    endif()
    list(APPEND seen ${current})
    file(READ ${current} text)
    foreach(marker ${zentro_linux_only_markers})
      string(FIND "${text}" "${marker}" at)
      if(NOT at EQUAL -1)
        set(result TRUE)
        break()
      endif()
    endforeach()
    if(result)
      break()
    endif()
    string(REGEX MATCHALL "#include \"tests/[^\"]+\"" includes "${text}")
    foreach(inc ${includes})
      string(REGEX REPLACE "#include \"(tests/[^\"]+)\"" "${PROJECT_SOURCE_DIR}/\\1" header "${inc}")
      list(APPEND pending ${header})
    endforeach()
  endwhile()
  set(${out} ${result} PARENT_SCOPE)
endfunction()

# Windows paths for the compiled-in folders: Wine maps the Linux root to drive Z:.
set(zentro_win_test_defines
  ZENTRO_TEST_DATA="Z:${CMAKE_CURRENT_SOURCE_DIR}/data"
  ZENTRO_SOURCE_DIR="Z:${PROJECT_SOURCE_DIR}"
  ZENTRO_BINARY_DIR="Z:${PROJECT_BINARY_DIR}")
set(ZENTRO_WINE_SKIPPED "" CACHE INTERNAL "test files left out of the Windows build")

file(GLOB support_candidates CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/support/*.cpp)
set(support_srcs "")
foreach(src ${support_candidates})
  zentro_linux_only(${src} linux_only)
  if(NOT linux_only)
    list(APPEND support_srcs ${src})
  endif()
endforeach()
add_library(zentro_test_support STATIC ${support_srcs} ${CMAKE_CURRENT_SOURCE_DIR}/support/temp_dir.h)
set_target_properties(zentro_test_support PROPERTIES LINKER_LANGUAGE CXX)
target_include_directories(zentro_test_support PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(zentro_test_support PUBLIC zentro_app GTest::gtest GTest::gmock)

# One test program per folder; ctest runs each test program as one test through Wine (a Wine
# start per test case would multiply the suite's time).
function(zentro_wine_test_folder name)
  file(GLOB candidates CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${name}/*_test.cpp)
  set(srcs "")
  set(skipped "")
  foreach(src ${candidates})
    zentro_linux_only(${src} linux_only)
    if(linux_only)
      file(RELATIVE_PATH rel ${PROJECT_SOURCE_DIR} ${src})
      list(APPEND skipped ${rel})
    else()
      list(APPEND srcs ${src})
    endif()
  endforeach()
  if(skipped)
    message(STATUS "Windows tests: left out (Linux-only parts): ${skipped}")
  endif()
  if(NOT srcs)
    return()
  endif()
  add_executable(test_${name} ${srcs})
  zentro_warnings(test_${name})
  target_include_directories(test_${name} PRIVATE ${PROJECT_SOURCE_DIR})
  target_compile_definitions(test_${name} PRIVATE ${zentro_win_test_defines})
  target_link_libraries(test_${name} PRIVATE GTest::gtest_main GTest::gmock ${ARGN})
  add_test(NAME wine.${name} COMMAND test_${name} --gtest_brief=1)
endfunction()

# remote headers that parse XML include pugixml, which the Linux build finds in /usr/include.
zentro_wine_test_folder(remote zentro_remote zentro_platform pugixml::pugixml)
zentro_wine_test_folder(installer zentro_installer zentro_test_support)
zentro_wine_test_folder(app zentro_app zentro_test_support)
if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/win32/CMakeLists.txt)
  add_subdirectory(win32)
endif()
