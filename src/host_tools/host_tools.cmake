# Where the build finds make_setup and add_help_map. A native build makes them
# as ordinary targets; a cross build makes them for the build machine in a
# project of their own and runs them from there.
if(CMAKE_CROSSCOMPILING)
  include(ExternalProject)
  set(_host ${CMAKE_BINARY_DIR}/host_tools)
  ExternalProject_Add(zelvaro_host_tools
    SOURCE_DIR ${CMAKE_CURRENT_LIST_DIR}
    BINARY_DIR ${_host}
    CMAKE_ARGS -DCMAKE_BUILD_TYPE=Release
    INSTALL_COMMAND ""
    BUILD_ALWAYS ON
    BUILD_BYPRODUCTS ${_host}/make_setup/make_setup ${_host}/help_tool/add_help_map)
  set(ZELVARO_MAKE_SETUP ${_host}/make_setup/make_setup)
  set(ZELVARO_ADD_HELP_MAP ${_host}/help_tool/add_help_map)
  set(ZELVARO_HOST_TOOLS zelvaro_host_tools)
else()
  set(ZELVARO_MAKE_SETUP $<TARGET_FILE:make_setup>)
  set(ZELVARO_ADD_HELP_MAP $<TARGET_FILE:add_help_map>)
  set(ZELVARO_HOST_TOOLS make_setup add_help_map)
endif()
