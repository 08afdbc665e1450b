# Shared settings for the library's own targets, and the one way a folder of
# src/ becomes a target.
add_library(ryl_settings INTERFACE)
if(RYL_PORTABLE_BUILD)
  target_compile_options(ryl_settings INTERFACE -Wall -Wextra -Wno-unused-parameter -Wno-missing-field-initializers)
else()
  target_compile_options(ryl_settings INTERFACE
    -Wall -Wextra -Wno-unused-parameter -Wno-missing-field-initializers
    $<$<COMPILE_LANGUAGE:CXX>:-Wno-non-virtual-dtor>)
  target_compile_definitions(ryl_settings INTERFACE RYL_BUILDING_DLL UNICODE _UNICODE _WIN32_WINNT=0x0601)
endif()
target_include_directories(ryl_settings INTERFACE ${CMAKE_SOURCE_DIR}/include)

# Each folder of src/ is one static library that sees only its own headers and
# those of the targets it names. The folder is reached through an include root
# of its own in the build tree (a directory holding one link named after the
# folder), so "fs/x.h" resolves for a target only when it links ryl_fs, and no
# target has all of src/ on its include path. tools/check_layers.py checks the
# same graph at the level of every #include line.
#
# ryl_add_subsystem(NAME FOLDER folder SOURCES... [DEPENDS targets...])
function(ryl_add_subsystem name)
  cmake_parse_arguments(ARG "" "FOLDER" "SOURCES;DEPENDS" ${ARGN})
  set(root ${CMAKE_BINARY_DIR}/include-roots/${name})
  get_filename_component(parent ${root}/${ARG_FOLDER} DIRECTORY)
  file(MAKE_DIRECTORY ${parent})
  if(NOT EXISTS ${root}/${ARG_FOLDER})
    file(CREATE_LINK ${CMAKE_SOURCE_DIR}/src/${ARG_FOLDER} ${root}/${ARG_FOLDER} SYMBOLIC)
  endif()
  add_library(${name} STATIC ${ARG_SOURCES})
  target_include_directories(${name} PUBLIC ${root})
  target_link_libraries(${name} PUBLIC ryl_settings ${ARG_DEPENDS})
endfunction()

# ryl_add_version_resource(TARGET DESCRIPTION): the VERSIONINFO resource of a
# shipped binary, numbered from ryl/version.h.
function(ryl_add_version_resource target description)
  get_target_property(type ${target} TYPE)
  if(type STREQUAL "SHARED_LIBRARY")
    set(file_type 2)
    set(original_name "${target}.dll")
  else()
    set(file_type 1)
    set(original_name "${target}.exe")
  endif()
  set(script ${CMAKE_CURRENT_BINARY_DIR}/${target}_version.rc)
  file(CONFIGURE OUTPUT ${script} CONTENT
"#define RYL_FILE_DESCRIPTION \"${description}\"
#define RYL_ORIGINAL_NAME \"${original_name}\"
#define RYL_FILE_TYPE ${file_type}
#include \"version.rc\"
")
  target_sources(${target} PRIVATE ${script})
  set_source_files_properties(${script} PROPERTIES INCLUDE_DIRECTORIES
    "${CMAKE_SOURCE_DIR}/include;${CMAKE_SOURCE_DIR}/cmake/resources")
endfunction()
