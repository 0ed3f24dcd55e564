# vnpack.exe's libraries for which Debian has no MinGW package (libdeflate, libpng, zopfli), compiled
# with this toolchain from Debian's source packages as scripts/bootstrap unpacked them, so the tool
# packs with the very versions the Linux build links. Each becomes a static library target:
# vn_dep_deflate, vn_dep_png, vn_dep_zopfli. zlib is Debian's MinGW package (libz-mingw-w64-dev).
set(VN_DEBIAN_SOURCES /var/cache/vnupdate/src CACHE PATH "Debian source packages unpacked by scripts/bootstrap")

function(vn_debian_source_dir package out)
  set(marker ${VN_DEBIAN_SOURCES}/${package}.dir)
  if(NOT EXISTS ${marker})
    message(FATAL_ERROR "no sources of ${package} in ${VN_DEBIAN_SOURCES}: run scripts/bootstrap as root")
  endif()
  file(STRINGS ${marker} name LIMIT_COUNT 1)
  set(${out} ${VN_DEBIAN_SOURCES}/${name} PARENT_SCOPE)
endfunction()

execute_process(COMMAND ${CMAKE_C_COMPILER} -print-file-name=libz.a OUTPUT_VARIABLE vn_zlib_a
  OUTPUT_STRIP_TRAILING_WHITESPACE)
if(NOT IS_ABSOLUTE "${vn_zlib_a}" OR NOT EXISTS "${vn_zlib_a}")
  message(FATAL_ERROR "${CMAKE_C_COMPILER} has no static zlib (libz.a): install libz-mingw-w64-dev")
endif()

vn_debian_source_dir(libdeflate deflate_dir)
file(GLOB deflate_sources ${deflate_dir}/lib/*.c ${deflate_dir}/lib/x86/*.c)
add_library(vn_dep_deflate STATIC EXCLUDE_FROM_ALL ${deflate_sources})
target_include_directories(vn_dep_deflate SYSTEM PUBLIC ${deflate_dir})
target_compile_options(vn_dep_deflate PRIVATE -O2 -fvisibility=hidden -w)
target_compile_definitions(vn_dep_deflate PRIVATE _ANSI_SOURCE)

vn_debian_source_dir(zopfli zopfli_dir)
file(GLOB zopfli_sources ${zopfli_dir}/src/zopfli/*.c)
list(FILTER zopfli_sources EXCLUDE REGEX "/zopfli_bin\\.c$")
add_library(vn_dep_zopfli STATIC EXCLUDE_FROM_ALL ${zopfli_sources})
target_include_directories(vn_dep_zopfli SYSTEM PUBLIC ${zopfli_dir}/src)
target_compile_options(vn_dep_zopfli PRIVATE -O2 -w)

# libpng's configuration header comes prebuilt with its sources; the SIMD filters only speed up
# reading, so the portable C code is built.
vn_debian_source_dir(libpng1.6 png_dir)
set(png_config ${CMAKE_BINARY_DIR}/debian-png)
configure_file(${png_dir}/scripts/pnglibconf.h.prebuilt ${png_config}/pnglibconf.h COPYONLY)
set(png_names png pngerror pngget pngmem pngpread pngread pngrio pngrtran pngrutil pngset pngtrans pngwio
  pngwrite pngwtran pngwutil)
list(TRANSFORM png_names PREPEND ${png_dir}/ OUTPUT_VARIABLE png_sources)
list(TRANSFORM png_sources APPEND .c)
add_library(vn_dep_png STATIC EXCLUDE_FROM_ALL ${png_sources})
target_include_directories(vn_dep_png SYSTEM PUBLIC ${png_dir} ${png_config})
target_compile_options(vn_dep_png PRIVATE -O2 -w)
target_compile_definitions(vn_dep_png PUBLIC PNG_ARM_NEON_OPT=0 PNG_INTEL_SSE_OPT=0 PNG_POWERPC_VSX_OPT=0
  PNG_MIPS_MSA_OPT=0)
target_link_libraries(vn_dep_png PUBLIC ${vn_zlib_a})
