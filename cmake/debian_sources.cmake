# vnpack.exe's libraries for which Debian has no MinGW package (libdeflate, libpng, zopfli), compiled
# with this toolchain from Debian's source packages as scripts/bootstrap unpacked them, so the tool
# packs with the very versions the Linux build links. Each becomes a static library target:
# vn_dep_deflate, vn_dep_png, vn_dep_zopfli. zlib is Debian's MinGW package (libz-mingw-w64-dev).
set(VN_DEBIAN_SOURCES /var/cache/vnupdate/src CACHE PATH "Debian source packages unpacked by scripts/bootstrap")
# A folder where another build of this toolchain left them (libvn_dep_*.a): compiled from the same
# sources outside the checkout with the same flags, they are taken as they are (the release check).
set(VN_DEBIAN_LIBS "" CACHE PATH "prebuilt libvn_dep_*.a of this toolchain (empty: build them)")

# vn_dep_NAME from sources, or the prebuilt one; with its compile flags when built here. Later
# settings use ${vn_dep_scope}: PUBLIC on a built library, INTERFACE on a prebuilt one.
function(vn_debian_library name)
  if(VN_DEBIAN_LIBS)
    add_library(vn_dep_${name} STATIC IMPORTED)
    set_target_properties(vn_dep_${name} PROPERTIES IMPORTED_LOCATION ${VN_DEBIAN_LIBS}/libvn_dep_${name}.a)
  else()
    add_library(vn_dep_${name} STATIC EXCLUDE_FROM_ALL ${ARGN})
    target_compile_options(vn_dep_${name} PRIVATE -O2 -w)
  endif()
endfunction()
if(VN_DEBIAN_LIBS)
  set(vn_dep_scope INTERFACE)
else()
  set(vn_dep_scope PUBLIC)
endif()

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
vn_debian_library(deflate ${deflate_sources})
target_include_directories(vn_dep_deflate SYSTEM ${vn_dep_scope} ${deflate_dir})
if(NOT VN_DEBIAN_LIBS)
  target_compile_options(vn_dep_deflate PRIVATE -fvisibility=hidden)
  target_compile_definitions(vn_dep_deflate PRIVATE _ANSI_SOURCE)
endif()

vn_debian_source_dir(zopfli zopfli_dir)
file(GLOB zopfli_sources ${zopfli_dir}/src/zopfli/*.c)
list(FILTER zopfli_sources EXCLUDE REGEX "/zopfli_bin\\.c$")
vn_debian_library(zopfli ${zopfli_sources})
target_include_directories(vn_dep_zopfli SYSTEM ${vn_dep_scope} ${zopfli_dir}/src)

# libpng's configuration header comes prebuilt with its sources; the SIMD filters only speed up
# reading, so the portable C code is built.
vn_debian_source_dir(libpng1.6 png_dir)
set(png_config ${CMAKE_BINARY_DIR}/debian-png)
configure_file(${png_dir}/scripts/pnglibconf.h.prebuilt ${png_config}/pnglibconf.h COPYONLY)
set(png_names png pngerror pngget pngmem pngpread pngread pngrio pngrtran pngrutil pngset pngtrans pngwio
  pngwrite pngwtran pngwutil)
list(TRANSFORM png_names PREPEND ${png_dir}/ OUTPUT_VARIABLE png_sources)
list(TRANSFORM png_sources APPEND .c)
vn_debian_library(png ${png_sources})
target_include_directories(vn_dep_png SYSTEM ${vn_dep_scope} ${png_dir} ${png_config})
target_compile_definitions(vn_dep_png ${vn_dep_scope} PNG_ARM_NEON_OPT=0 PNG_INTEL_SSE_OPT=0 PNG_POWERPC_VSX_OPT=0
  PNG_MIPS_MSA_OPT=0)
target_link_libraries(vn_dep_png ${vn_dep_scope} ${vn_zlib_a})
