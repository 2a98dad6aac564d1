# The project's version for the programs' --version: one generated header, reached as
# <version/version.h> through the interface target velmor::version.
configure_file(${CMAKE_CURRENT_LIST_DIR}/version.h.in
               ${CMAKE_BINARY_DIR}/generated/version/version.h @ONLY)
add_library(velmorversion INTERFACE)
add_library(velmor::version ALIAS velmorversion)
target_include_directories(velmorversion INTERFACE $<BUILD_INTERFACE:${CMAKE_BINARY_DIR}/generated>)
