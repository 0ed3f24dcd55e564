# Which Windows build runs the Wine tests on this machine, decided once when the build folder is
# configured: the shipped i686 build wherever the machine runs 32-bit Windows code, the x86_64 build
# where it does not. Sets VN_WINE_TESTS (register the Wine tests in this build) and VN_WINE_ARCH, and
# writes the one line scripts/test prints to wine-tests.txt.
set(VN_WINE_ARCH ${CMAKE_SYSTEM_PROCESSOR})
set(VN_WINE_TESTS OFF)
set(arch_dir ${CMAKE_BINARY_DIR}/wine-arch)
if(VN_WINE_ARCH STREQUAL "i686")
  # A tiny program of this toolchain, started under 32-bit Wine with a deadline after the kernel and
  # the loader were found able to run it.
  try_compile(VN_ARCH_PROBE_BUILT ${arch_dir}/build SOURCES ${CMAKE_SOURCE_DIR}/tests/support/arch_probe_win.cpp
    LINK_OPTIONS -mwindows COPY_FILE ${arch_dir}/arch_probe.exe OUTPUT_VARIABLE VN_ARCH_PROBE_LOG)
  if(NOT VN_ARCH_PROBE_BUILT)
    message(FATAL_ERROR "the i686 toolchain cannot build a program:\n${VN_ARCH_PROBE_LOG}")
  endif()
  execute_process(COMMAND ${CMAKE_SOURCE_DIR}/tests/support/wine-arch probe ${arch_dir} ${arch_dir}/arch_probe.exe
    OUTPUT_VARIABLE answer RESULT_VARIABLE probe_rc OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(probe_rc EQUAL 0)
    set(VN_WINE_TESTS ON)
  endif()
else()
  # The x86_64 build runs them wherever it is used, given a 64-bit loader.
  execute_process(COMMAND bash -c ". '${CMAKE_SOURCE_DIR}/tests/support/wine-loaders.sh' && find_wine_loaders x86_64"
    RESULT_VARIABLE loader_rc OUTPUT_QUIET ERROR_QUIET)
  if(loader_rc EQUAL 0)
    set(VN_WINE_TESTS ON)
    set(answer "x86_64 (the win64 build)")
  else()
    set(answer "none (no 64-bit Wine loader: install wine64)")
  endif()
endif()
message(STATUS "wine tests: ${answer}")
file(WRITE ${CMAKE_BINARY_DIR}/wine-tests.txt "${answer}\n")
