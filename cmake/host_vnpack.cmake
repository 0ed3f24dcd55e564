# vnpack for this machine, built beside vnpack.exe: its tests compare the two, and the release ships
# both. Sets VN_HOST_VNPACK and the target host_vnpack (built when asked for). It packs no built-in
# program and is stripped, as the release wants it.
include(ExternalProject)
set(VN_HOST_VNPACK ${CMAKE_BINARY_DIR}/host-vnpack/tools/vnpack)
ExternalProject_Add(host_vnpack
  SOURCE_DIR ${CMAKE_SOURCE_DIR}
  BINARY_DIR ${CMAKE_BINARY_DIR}/host-vnpack
  CMAKE_ARGS -DCMAKE_BUILD_TYPE=Release -DCMAKE_C_COMPILER=gcc -DCMAKE_CXX_COMPILER=g++ -DVN_TESTS=OFF
    -DVN_BUILT_STUB= -DCMAKE_EXE_LINKER_FLAGS=-s
  BUILD_COMMAND ${CMAKE_COMMAND} --build <BINARY_DIR> --target vnpack -j 2
  BUILD_ALWAYS ON
  EXCLUDE_FROM_ALL ON
  INSTALL_COMMAND ""
  BUILD_BYPRODUCTS ${VN_HOST_VNPACK})
