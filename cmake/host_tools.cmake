# The windows tree's tools that run at build time, built once for the build machine by a native
# build of the project: the type library mender (idl/), the booth control's registration for the
# installer and the bills store's tool (installer/). TELLARIX_HOST_DIR is that build's folder.
set(TELLARIX_HOST_DIR ${PROJECT_BINARY_DIR}/host)
include_guard(GLOBAL)
include(ExternalProject)
ExternalProject_Add(tellarix_host_tools
  SOURCE_DIR ${PROJECT_SOURCE_DIR}
  BINARY_DIR ${TELLARIX_HOST_DIR}
  CMAKE_ARGS -DCMAKE_BUILD_TYPE=Release -DTELLARIX_BENCH=OFF
  BUILD_COMMAND ${CMAKE_COMMAND} --build ${TELLARIX_HOST_DIR} --target mend_typelib booth_classes
                billsdb
  BUILD_BYPRODUCTS ${TELLARIX_HOST_DIR}/idl/mend_typelib ${TELLARIX_HOST_DIR}/installer/booth_classes
                   ${TELLARIX_HOST_DIR}/tools/billsdb/billsdb
  INSTALL_COMMAND ""
  BUILD_ALWAYS ON)
