# The third-party libraries of the portable build: Debian's own, for the host
# (zlib1g-dev, libbz2-dev, libssl-dev, liblzma-dev, libzstd-dev), under the names the library's targets
# use in the Windows build.
include_guard(GLOBAL)
find_package(ZLIB REQUIRED)
find_package(BZip2 REQUIRED)
find_package(OpenSSL REQUIRED COMPONENTS Crypto)
add_library(dep::zlib INTERFACE IMPORTED)
target_link_libraries(dep::zlib INTERFACE ZLIB::ZLIB)
add_library(dep::bz2 INTERFACE IMPORTED)
target_link_libraries(dep::bz2 INTERFACE BZip2::BZip2)
find_package(LibLZMA REQUIRED)
find_path(RYL_ZSTD_INCLUDE zstd.h)
find_library(RYL_ZSTD_LIBRARY zstd)
if(NOT RYL_ZSTD_INCLUDE OR NOT RYL_ZSTD_LIBRARY)
  message(FATAL_ERROR "libzstd for the host (libzstd-dev) is missing")
endif()
add_library(dep::lzma INTERFACE IMPORTED)
target_link_libraries(dep::lzma INTERFACE LibLZMA::LibLZMA)
add_library(dep::zstd INTERFACE IMPORTED)
target_include_directories(dep::zstd INTERFACE ${RYL_ZSTD_INCLUDE})
target_link_libraries(dep::zstd INTERFACE ${RYL_ZSTD_LIBRARY})
add_library(dep::crypto INTERFACE IMPORTED)
target_link_libraries(dep::crypto INTERFACE OpenSSL::Crypto)
target_compile_definitions(dep::crypto INTERFACE OPENSSL_API_COMPAT=0x10100000L)

# Every target of the portable build is instrumented for the fuzz targets:
# coverage feedback for libFuzzer, and the address and undefined-behaviour
# sanitizers, which stop at the first report. The fuzz executables add the
# libFuzzer driver when they link (fuzz/CMakeLists.txt).
#
# RYL_THREAD_SANITIZER builds the same code with the thread sanitizer instead,
# for the tests of the code that runs on several threads (no fuzz targets).
option(RYL_THREAD_SANITIZER "Portable build with the thread sanitizer, for the race tests" OFF)
if(RYL_THREAD_SANITIZER)
  set(RYL_SANITIZE_FLAGS -fsanitize=thread)
  add_compile_options(${RYL_SANITIZE_FLAGS} -g -fno-omit-frame-pointer)
else()
  set(RYL_SANITIZE_FLAGS -fsanitize=address,undefined -fno-sanitize-recover=undefined)
  add_compile_options(-fsanitize=fuzzer-no-link ${RYL_SANITIZE_FLAGS} -g -fno-omit-frame-pointer)
endif()
add_link_options(${RYL_SANITIZE_FLAGS})

# expat for the XML parser: Debian's pinned source with the module's patches,
# compiled here (UTF-16 characters, static, the flags above) when
# RYL_EXPAT_SOURCE names the tree deps/expat-source.sh unpacked.
set(RYL_EXPAT_SOURCE "" CACHE PATH "patched expat source tree (deps/expat-source.sh)")
if(RYL_EXPAT_SOURCE AND EXISTS "${RYL_EXPAT_SOURCE}/expat/CMakeLists.txt")
  set(EXPAT_CHAR_TYPE ushort CACHE STRING "" FORCE)
  foreach(option EXPAT_BUILD_TOOLS EXPAT_BUILD_EXAMPLES EXPAT_BUILD_TESTS EXPAT_SHARED_LIBS EXPAT_BUILD_DOCS
                 EXPAT_BUILD_FUZZERS EXPAT_BUILD_PKGCONFIG EXPAT_ENABLE_INSTALL)
    set(${option} OFF CACHE BOOL "" FORCE)
  endforeach()
  add_subdirectory(${RYL_EXPAT_SOURCE}/expat ${CMAKE_BINARY_DIR}/expat EXCLUDE_FROM_ALL)
  # Debian's backports test "#if XML_DTD == 1"; 2.5.0's CMake template defines
  # XML_DTD and XML_NS empty. Give them the value 1, as deps/build.sh does.
  file(READ ${CMAKE_BINARY_DIR}/expat/expat_config.h expat_config)
  string(REGEX REPLACE "#define (XML_DTD|XML_NS)[ \t]*\n" "#define \\1 1\n" expat_config "${expat_config}")
  file(WRITE ${CMAKE_BINARY_DIR}/expat/expat_config.h "${expat_config}")
  add_library(dep::expat INTERFACE IMPORTED)
  target_link_libraries(dep::expat INTERFACE expat)
  target_compile_definitions(dep::expat INTERFACE XML_UNICODE XML_STATIC)
endif()

# PCRE 8, 8- and 16-bit, from Debian's libpcre3-dev, for the regular
# expressions.
find_path(RYL_PCRE_INCLUDE pcre.h)
find_library(RYL_PCRE8_LIBRARY pcre)
find_library(RYL_PCRE16_LIBRARY pcre16)
if(RYL_PCRE_INCLUDE AND RYL_PCRE8_LIBRARY AND RYL_PCRE16_LIBRARY)
  add_library(dep::pcre INTERFACE IMPORTED)
  target_include_directories(dep::pcre INTERFACE ${RYL_PCRE_INCLUDE})
  target_link_libraries(dep::pcre INTERFACE ${RYL_PCRE8_LIBRARY})
  add_library(dep::pcre16 INTERFACE IMPORTED)
  target_include_directories(dep::pcre16 INTERFACE ${RYL_PCRE_INCLUDE})
  target_link_libraries(dep::pcre16 INTERFACE ${RYL_PCRE16_LIBRARY})
endif()
