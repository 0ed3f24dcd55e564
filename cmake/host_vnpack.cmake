# vnpack for this machine, built beside a Windows build whose tests need the studio's own tool:
# sets VN_HOST_VNPACK and the target host_vnpack.
include(ExternalProject)
set(VN_HOST_VNPACK ${CMAKE_BINARY_DIR}/host-vnpack/tools/vnpack)
ExternalProject_Add(host_vnpack
  SOURCE_DIR ${CMAKE_SOURCE_DIR}
  BINARY_DIR ${CMAKE_BINARY_DIR}/host-vnpack
  CMAKE_ARGS -DCMAKE_BUILD_TYPE=Release -DCMAKE_C_COMPILER=gcc -DCMAKE_CXX_COMPILER=g++ -DVN_TESTS=OFF
  BUILD_COMMAND ${CMAKE_COMMAND} --build <BINARY_DIR> --target vnpack -j 2
  BUILD_ALWAYS ON
  INSTALL_COMMAND ""
  BUILD_BYPRODUCTS ${VN_HOST_VNPACK})
