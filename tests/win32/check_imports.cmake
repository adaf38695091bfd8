# Fails when PROGRAM imports a DLL outside the set that ships with every Windows installation
# (a static build needs no compiler runtime, no pthread DLL, no third-party DLL), imports an
# 8-bit ("A") text call beyond those the compiler's runtime and the ZIP library bring along
# (the program speaks to Windows in UTF-16 only), or is not marked terminal-server aware
# (platform/win32/CMakeLists.txt says why it must be).
#   cmake -DOBJDUMP=... -DPROGRAM=... -P check_imports.cmake
cmake_minimum_required(VERSION 3.25)
set(system_dlls
  advapi32.dll bcrypt.dll comctl32.dll comdlg32.dll crypt32.dll gdi32.dll iphlpapi.dll kernel32.dll
  msvcrt.dll ole32.dll oleaut32.dll shell32.dll shlwapi.dll user32.dll uxtheme.dll
  version.dll winhttp.dll wininet.dll ws2_32.dll)
execute_process(COMMAND ${OBJDUMP} -p ${PROGRAM} OUTPUT_VARIABLE dump RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "objdump failed on ${PROGRAM}")
endif()
string(REGEX MATCH "DllCharacteristics[^\n]*(\n[ \t]+[A-Z_]+)*" characteristics "${dump}")
if(NOT characteristics MATCHES "TERMINAL_SERVICE_AWARE")
  message(FATAL_ERROR "${PROGRAM} is not marked terminal-server aware")
endif()
string(REGEX MATCHALL "DLL Name: [^\r\n]+" lines "${dump}")
if(NOT lines)
  message(FATAL_ERROR "no imports found in ${PROGRAM}")
endif()
set(foreign "")
foreach(line ${lines})
  string(REGEX REPLACE "DLL Name: " "" dll "${line}")
  string(STRIP "${dll}" dll)
  string(TOLOWER "${dll}" lower)
  message(STATUS "imports ${dll}")
  if(NOT lower IN_LIST system_dlls)
    list(APPEND foreign ${dll})
  endif()
endforeach()
if(foreign)
  message(FATAL_ERROR "${PROGRAM} imports DLLs that do not ship with Windows: ${foreign}")
endif()

# Narrow calls of the C++ and threads runtimes (names and messages of their own, all ASCII)
# and of minizip's unused 8-bit file functions, linked with its wide ones.
set(allowed_narrow CreateEventA CreateSemaphoreA FormatMessageA GetModuleHandleA GetStartupInfoA
  OutputDebugStringA CreateFileA)
string(REGEX MATCHALL "[ \t][A-Z][A-Za-z0-9]*[a-z0-9]A\n" narrow_calls "${dump}")
set(narrow "")
foreach(call ${narrow_calls})
  string(STRIP "${call}" call)
  if(NOT call IN_LIST allowed_narrow)
    list(APPEND narrow ${call})
  endif()
endforeach()
if(narrow)
  message(FATAL_ERROR "${PROGRAM} imports 8-bit text calls: ${narrow}")
endif()
message(STATUS "only system DLLs")
