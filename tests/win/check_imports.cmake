cmake_minimum_required(VERSION 3.25)
# Fails when the program imports a DLL that Windows does not always load from its system folder:
# any other name would be looked up beside the program first, where a download folder may hold a
# planted copy. Run with -DOBJDUMP=... -DPROGRAM=...
set(allowed advapi32 comctl32 comdlg32 gdi32 kernel32 msvcrt ole32 oleaut32 rpcrt4 setupapi shell32
    shlwapi user32 version winmm ws2_32)
execute_process(COMMAND ${OBJDUMP} -p ${PROGRAM} OUTPUT_VARIABLE dump RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "cannot read the import table of ${PROGRAM}")
endif()
string(REGEX MATCHALL "DLL Name: [^\n]+" names "${dump}")
if(NOT names)
  message(FATAL_ERROR "no imports found in ${PROGRAM}")
endif()
foreach(line ${names})
  string(REGEX REPLACE "DLL Name: ([^ \r]+)\\.[dD][lL][lL].*" "\\1" dll "${line}")
  string(TOLOWER "${dll}" dll)
  if(NOT dll IN_LIST allowed)
    message(FATAL_ERROR "${PROGRAM} imports ${dll}.dll, which Windows may load from the program's folder")
  endif()
  message(STATUS "imports ${dll}.dll")
endforeach()
