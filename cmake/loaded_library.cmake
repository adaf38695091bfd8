# Libraries the Linux program loads itself on first use (platform/posix/loaded_library.h): it
# compiles against their headers but does not link them, and opens them by the name the dynamic
# loader knows them by, read from the library the build would otherwise link.

# Sets `out` to the SONAME of the shared library `pkg` (a pkg_check_modules prefix) names.
function(zentro_soname out pkg stem)
  set(library "")
  foreach(candidate IN LISTS ${pkg}_LINK_LIBRARIES)
    if(candidate MATCHES "/lib${stem}\\.so")
      set(library ${candidate})
    endif()
  endforeach()
  if(NOT library OR NOT CMAKE_OBJDUMP)
    message(FATAL_ERROR "cannot find the shared library of ${pkg} (${${pkg}_LINK_LIBRARIES})")
  endif()
  execute_process(COMMAND ${CMAKE_OBJDUMP} -p ${library} OUTPUT_VARIABLE dump
                  RESULT_VARIABLE failed)
  if(failed OR NOT dump MATCHES "SONAME +([^ \n]+)")
    message(FATAL_ERROR "no SONAME in ${library}")
  endif()
  set(${out} ${CMAKE_MATCH_1} PARENT_SCOPE)
endfunction()

# Gives `target` the headers of the pkg-config module `pkg` and its SONAME as the definition
# `define`, without linking the library.
function(zentro_load_on_first_use target pkg stem define)
  zentro_soname(soname ${pkg} ${stem})
  target_include_directories(${target} SYSTEM PRIVATE ${${pkg}_INCLUDE_DIRS})
  target_compile_options(${target} PRIVATE ${${pkg}_CFLAGS_OTHER})
  target_compile_definitions(${target} PRIVATE ${define}="${soname}")
endfunction()
