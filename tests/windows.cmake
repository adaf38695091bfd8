# The Windows build's tests, run under Wine (the toolchain's CMAKE_CROSSCOMPILING_EMULATOR):
#   - the suites of tests/remote, tests/installer, tests/app and tests/platform, the same files
#     as on Linux but for the list below; tests that need the reference service reach the Linux
#     service through the control endpoint scripts/test-windows.sh starts;
#   - tests/win32, what only the Win32 platform layer has (tests/platform holds the contract
#     tests both systems share);
#   - the check that VMIZentro.exe imports only DLLs that ship with Windows.
# Included from tests/CMakeLists.txt when ZENTRO_WINDOWS is set.

# The test files that stay Linux-only, each for its reason.
set(zentro_linux_only_tests
  # Named pipes (mkfifo) do not exist as files on Windows.
  installer/file_version_posix_test.cpp)
# Besides, every *_posix_test.cpp: what only Linux has of a service (tests/platform: fontconfig,
# the XDG folders, the hive file...), beside the contract test both programs share.
foreach(rel ${zentro_linux_only_tests})
  if(NOT EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${rel})
    message(FATAL_ERROR "tests/windows.cmake names tests/${rel}, which does not exist")
  endif()
endforeach()

# Windows paths for the compiled-in folders: Wine maps the Linux root to drive Z:.
set(zentro_win_test_defines
  ZENTRO_TEST_DATA="Z:${CMAKE_CURRENT_SOURCE_DIR}/data"
  ZENTRO_SOURCE_DIR="Z:${PROJECT_SOURCE_DIR}"
  ZENTRO_BINARY_DIR="Z:${PROJECT_BINARY_DIR}")

# tests/support as on Linux, with the Windows form of each system service and the fixture that
# reaches the reference service through its control endpoint.
file(GLOB support_srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/support/*.cpp)
list(FILTER support_srcs EXCLUDE REGEX "/support/(.*_posix|.*_main|ref_service_inprocess)\\.cpp$")
add_library(zentro_test_support STATIC ${support_srcs} ${CMAKE_CURRENT_SOURCE_DIR}/support/temp_dir.h)
set_target_properties(zentro_test_support PROPERTIES LINKER_LANGUAGE CXX)
target_include_directories(zentro_test_support PUBLIC ${PROJECT_SOURCE_DIR})
target_include_directories(zentro_test_support SYSTEM PUBLIC ${ZENTRO_ZLIB_INCLUDE})
target_link_libraries(zentro_test_support PUBLIC zentro_app GTest::gtest GTest::gmock ws2_32
  "${ZENTRO_ZLIB_STATIC}")

# The recorder program the tests start (tests/support/recorder.h), beside the test programs;
# it carries a version resource of its own (5.0.21.1) for the Win32 tests.
add_executable(zentro_recorder ${CMAKE_CURRENT_SOURCE_DIR}/support/recorder_win_main.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/support/recorder_win.rc)
zentro_warnings(zentro_recorder)
target_link_libraries(zentro_recorder PRIVATE user32)
add_dependencies(zentro_test_support zentro_recorder)

# One test program per folder; ctest runs each test program as one test through Wine (a Wine
# start per test case would multiply the suite's time). Each writes its results to
# test-results/wine-<folder>.xml, which scripts/test-windows.sh counts.
function(zentro_wine_test_folder name)
  file(GLOB srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${name}/*_test.cpp)
  foreach(rel ${zentro_linux_only_tests})
    list(REMOVE_ITEM srcs ${CMAKE_CURRENT_SOURCE_DIR}/${rel})
  endforeach()
  list(FILTER srcs EXCLUDE REGEX "_posix_test\\.cpp$")
  if(NOT srcs)
    return()
  endif()
  add_executable(test_${name} ${srcs})
  zentro_warnings(test_${name})
  target_include_directories(test_${name} PRIVATE ${PROJECT_SOURCE_DIR})
  target_compile_definitions(test_${name} PRIVATE ${zentro_win_test_defines})
  target_link_libraries(test_${name} PRIVATE GTest::gtest_main GTest::gmock ${ARGN})
  add_test(NAME wine.${name} COMMAND test_${name} --gtest_brief=1
    --gtest_output=xml:Z:${PROJECT_BINARY_DIR}/test-results/wine-${name}.xml)
  # The tests' user profile (tests/support/test_system.h) redirects the prefix's one roaming
  # folder and empties its settings store: one program at a time.
  # The tests that place files across volumes find a second one on drive S: (tests/win32).
  set_tests_properties(wine.${name} PROPERTIES RESOURCE_LOCK wine_user_profile
    FIXTURES_REQUIRED zentro_volumes)
endfunction()

# remote headers that parse XML include pugixml, which the Linux build finds in /usr/include.
zentro_wine_test_folder(remote zentro_remote zentro_platform zentro_test_support pugixml::pugixml)
zentro_wine_test_folder(installer zentro_installer zentro_test_support)
zentro_wine_test_folder(platform zentro_platform zentro_test_support)
zentro_wine_test_folder(app zentro_app zentro_test_support)
if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/win32/CMakeLists.txt)
  add_subdirectory(win32)
endif()
