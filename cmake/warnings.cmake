# Warnings on for everything the project compiles; third-party headers come in as system includes.
function(zentro_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor
    -Woverloaded-virtual -Wimplicit-fallthrough)
endfunction()

# Adds every .cpp of a folder (non-recursive) to a static library with warnings on.
function(zentro_library name dir)
  file(GLOB srcs CONFIGURE_DEPENDS ${dir}/*.cpp)
  add_library(${name} STATIC ${srcs})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  zentro_warnings(${name})
endfunction()
