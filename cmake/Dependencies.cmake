# Imported targets for the third-party libraries that deps/build.sh builds
# (static, i686 Windows) into a cache prefix outside the repository:
#
#   cmake -DRYL_DEPS_PREFIX="$(deps/build.sh | tail -n1)" ...
#
# Targets:
#   dep::crypto            OpenSSL 3.0 libcrypto
#   dep::ssl               OpenSSL 3.0 libssl (links dep::crypto)
#   dep::expat             expat 2.5, UTF-16 (XML_Char is wchar_t)
#   dep::pcre, dep::pcre16 PCRE 8.39, 8-bit and 16-bit (UTF and Unicode
#                          properties enabled)
#   dep::bz2               bzip2 1.0.8 (bzlib.h includes <windows.h>; the
#                          API is __stdcall on Windows)
#   dep::lzma              liblzma 5.4 (xz-utils), single-threaded
#   dep::zstd              libzstd 1.5.4, without the legacy formats
#   dep::zlib              zlib from the MinGW sysroot (libz-mingw-w64-dev)
#   dep::gtest, dep::gtest_main, dep::gmock, dep::gmock_main   GoogleTest 1.12
#
# Include it after project() with the i686-w64-mingw32 toolchain file.

include_guard(GLOBAL)
if(TARGET dep::crypto)
  return()
endif()

set(RYL_DEPS_PREFIX "${RYL_DEPS_PREFIX}" CACHE PATH
    "Prefix built by deps/build.sh (the last line it prints)")
option(RYL_DEPS_ALLOW_MISMATCH
       "Accept a RYL_DEPS_PREFIX built from a different deps/build.sh or deps/patches" OFF)
set(RYL_MINGW_SYSROOT "/usr/i686-w64-mingw32" CACHE PATH
    "MinGW-w64 sysroot holding zlib (libz-mingw-w64-dev)")

get_filename_component(_ryl_repo_root "${CMAKE_CURRENT_LIST_DIR}/.." ABSOLUTE)
set(_ryl_deps_hint
    "Build the dependencies and pass their prefix, e.g.\n"
    "  cmake -DRYL_DEPS_PREFIX=\"$(${_ryl_repo_root}/deps/build.sh | tail -n1)\" ...\n"
    "(deps/build.sh --print-prefix shows the prefix without building.)")

if(NOT WIN32)
  message(FATAL_ERROR
    "cmake/Dependencies.cmake: the dependencies are i686 Windows libraries; "
    "configure with the i686-w64-mingw32 toolchain file (CMAKE_SYSTEM_NAME Windows).")
endif()
if(DEFINED CMAKE_SIZEOF_VOID_P AND NOT CMAKE_SIZEOF_VOID_P EQUAL 4)
  message(FATAL_ERROR
    "cmake/Dependencies.cmake: the dependencies are 32-bit, but this compiler "
    "targets ${CMAKE_SIZEOF_VOID_P}-byte pointers.")
endif()

if(RYL_DEPS_PREFIX STREQUAL "")
  message(FATAL_ERROR "RYL_DEPS_PREFIX is not set.\n" ${_ryl_deps_hint})
endif()
if(NOT EXISTS "${RYL_DEPS_PREFIX}/.complete")
  message(FATAL_ERROR
    "RYL_DEPS_PREFIX=${RYL_DEPS_PREFIX} is not a complete dependency build "
    "(no .complete marker).\n" ${_ryl_deps_hint})
endif()

# The prefix records the hash of the deps/build.sh and deps/patches/ it was
# built from; recompute it the way deps/build.sh does (sha256 over lines
# "<sha256>  build.sh" and "<sha256>  patches/<name>", names sorted) so a
# stale prefix is caught at configure time.
set(_ryl_build_sh "${_ryl_repo_root}/deps/build.sh")
if(EXISTS "${_ryl_build_sh}")
  file(SHA256 "${_ryl_build_sh}" _ryl_sum)
  set(_ryl_manifest "${_ryl_sum}  build.sh\n")
  if(IS_DIRECTORY "${_ryl_repo_root}/deps/patches")
    file(GLOB_RECURSE _ryl_patch_files LIST_DIRECTORIES false CONFIGURE_DEPENDS
         RELATIVE "${_ryl_repo_root}/deps/patches" "${_ryl_repo_root}/deps/patches/*")
    list(SORT _ryl_patch_files)
    foreach(_ryl_f IN LISTS _ryl_patch_files)
      file(SHA256 "${_ryl_repo_root}/deps/patches/${_ryl_f}" _ryl_sum)
      string(APPEND _ryl_manifest "${_ryl_sum}  patches/${_ryl_f}\n")
      set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
                   "${_ryl_repo_root}/deps/patches/${_ryl_f}")
    endforeach()
  endif()
  string(SHA256 _ryl_expected "${_ryl_manifest}")
  string(SUBSTRING "${_ryl_expected}" 0 16 _ryl_expected)
  file(STRINGS "${RYL_DEPS_PREFIX}/.complete" _ryl_built REGEX "^hash=")
  string(REPLACE "hash=" "" _ryl_built "${_ryl_built}")
  # Configure again whenever the inputs of that hash change.
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${_ryl_build_sh}")
  if(NOT _ryl_built STREQUAL _ryl_expected)
    set(_ryl_msg
      "RYL_DEPS_PREFIX=${RYL_DEPS_PREFIX} was built from other deps/build.sh or "
      "deps/patches (hash ${_ryl_built}, the working tree gives ${_ryl_expected}).\n"
      ${_ryl_deps_hint})
    if(RYL_DEPS_ALLOW_MISMATCH)
      message(WARNING ${_ryl_msg})
    else()
      message(FATAL_ERROR ${_ryl_msg}
              "\nSet -DRYL_DEPS_ALLOW_MISMATCH=ON to use it anyway.")
    endif()
  endif()
endif()

# _ryl_import(<target> <file under lib/> [LANG C|CXX]
#             [DEFINITIONS ...] [LINK ...])
function(_ryl_import target file)
  cmake_parse_arguments(ARG "" "LANG" "DEFINITIONS;LINK" ${ARGN})
  if(NOT ARG_LANG)
    set(ARG_LANG C)
  endif()
  set(path "${RYL_DEPS_PREFIX}/lib/${file}")
  if(NOT EXISTS "${path}")
    message(FATAL_ERROR "${path} is missing from RYL_DEPS_PREFIX; rebuild it with deps/build.sh.")
  endif()
  add_library(${target} STATIC IMPORTED GLOBAL)
  set_target_properties(${target} PROPERTIES
    IMPORTED_LOCATION "${path}"
    IMPORTED_LINK_INTERFACE_LANGUAGES "${ARG_LANG}"
    INTERFACE_INCLUDE_DIRECTORIES "${RYL_DEPS_PREFIX}/include"
    INTERFACE_COMPILE_DEFINITIONS "${ARG_DEFINITIONS}"
    INTERFACE_LINK_LIBRARIES "${ARG_LINK}")
endfunction()

# OpenSSL: libcrypto calls Winsock (ws2_32), CryptoAPI/event log (advapi32)
# and, for fatal-error boxes and service detection, user32. crypt32 and
# bcrypt are listed because other OpenSSL 3 configurations (_WIN32_WINNT >=
# 0x0600, Windows certificate store) use them; a static link imports only
# what is actually referenced.
_ryl_import(dep::crypto libcrypto.a
  DEFINITIONS OPENSSL_API_COMPAT=0x10100000L
  LINK ws2_32 crypt32 bcrypt advapi32 user32)
_ryl_import(dep::ssl libssl.a
  DEFINITIONS OPENSSL_API_COMPAT=0x10100000L
  LINK dep::crypto)

# expat built with EXPAT_CHAR_TYPE=wchar_t: XML_Char is 16-bit wchar_t.
_ryl_import(dep::expat libexpatw.a
  DEFINITIONS XML_STATIC XML_UNICODE XML_UNICODE_WCHAR_T)

_ryl_import(dep::pcre libpcre.a DEFINITIONS PCRE_STATIC)
_ryl_import(dep::pcre16 libpcre16.a DEFINITIONS PCRE_STATIC)

_ryl_import(dep::bz2 libbz2.a)

# liblzma for ZIP's LZMA and xz methods; static, so lzma.h must not declare
# its functions as imported from a DLL.
_ryl_import(dep::lzma liblzma.a DEFINITIONS LZMA_API_STATIC)
_ryl_import(dep::zstd libzstd.a)

_ryl_import(dep::gtest libgtest.a LANG CXX)
_ryl_import(dep::gtest_main libgtest_main.a LANG CXX LINK dep::gtest)
_ryl_import(dep::gmock libgmock.a LANG CXX LINK dep::gtest)
_ryl_import(dep::gmock_main libgmock_main.a LANG CXX LINK dep::gmock)

# zlib: the static archive from the MinGW sysroot, never the DLL import
# library libz.dll.a next to it.
find_library(RYL_ZLIB_LIBRARY NAMES libz.a
             PATHS "${RYL_MINGW_SYSROOT}/lib"
             NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
find_path(RYL_ZLIB_INCLUDE_DIR zlib.h
          PATHS "${RYL_MINGW_SYSROOT}/include"
          NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
if(NOT RYL_ZLIB_LIBRARY OR NOT RYL_ZLIB_INCLUDE_DIR)
  message(FATAL_ERROR
    "zlib for MinGW not found under RYL_MINGW_SYSROOT=${RYL_MINGW_SYSROOT} "
    "(need lib/libz.a and include/zlib.h); install libz-mingw-w64-dev "
    "(scripts/install-toolchain.sh).")
endif()
add_library(dep::zlib STATIC IMPORTED GLOBAL)
set_target_properties(dep::zlib PROPERTIES
  IMPORTED_LOCATION "${RYL_ZLIB_LIBRARY}"
  IMPORTED_LINK_INTERFACE_LANGUAGES C)
# The sysroot's include directory is the compiler's own; naming it again
# (as -isystem) would reorder it before libstdc++'s headers and break
# #include_next, so add it only when the compiler does not search it already.
get_filename_component(_ryl_zinc "${RYL_ZLIB_INCLUDE_DIR}" REALPATH)
set(_ryl_implicit "")
foreach(_ryl_dir IN LISTS CMAKE_C_IMPLICIT_INCLUDE_DIRECTORIES CMAKE_CXX_IMPLICIT_INCLUDE_DIRECTORIES)
  get_filename_component(_ryl_dir "${_ryl_dir}" REALPATH)
  list(APPEND _ryl_implicit "${_ryl_dir}")
endforeach()
if(NOT _ryl_zinc IN_LIST _ryl_implicit)
  set_target_properties(dep::zlib PROPERTIES INTERFACE_INCLUDE_DIRECTORIES "${RYL_ZLIB_INCLUDE_DIR}")
endif()

message(STATUS "rylutil dependencies: ${RYL_DEPS_PREFIX}")

unset(_ryl_repo_root)
unset(_ryl_deps_hint)
unset(_ryl_build_sh)
unset(_ryl_sum)
unset(_ryl_manifest)
unset(_ryl_patch_files)
unset(_ryl_f)
unset(_ryl_expected)
unset(_ryl_built)
unset(_ryl_msg)
unset(_ryl_zinc)
unset(_ryl_implicit)
unset(_ryl_dir)
