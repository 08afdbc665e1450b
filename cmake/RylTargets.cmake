# Shared settings for the library's own targets.
add_library(ryl_settings INTERFACE)
target_compile_options(ryl_settings INTERFACE
  -Wall -Wextra -Wno-unused-parameter -Wno-missing-field-initializers
  $<$<COMPILE_LANGUAGE:CXX>:-Wno-non-virtual-dtor>)
target_compile_definitions(ryl_settings INTERFACE RYL_BUILDING_DLL UNICODE _UNICODE _WIN32_WINNT=0x0601)
target_include_directories(ryl_settings INTERFACE ${CMAKE_SOURCE_DIR}/include ${CMAKE_SOURCE_DIR}/src)

# ryl_add_subsystem(NAME SOURCES... [DEPENDS targets...])
function(ryl_add_subsystem name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPENDS" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  target_link_libraries(${name} PUBLIC ryl_settings ${ARG_DEPENDS})
endfunction()
