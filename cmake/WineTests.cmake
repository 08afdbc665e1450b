# Every test executable runs under Wine in a private prefix inside the build
# tree. One CTest test per executable: every Wine start costs time.
set(RYL_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix)
set(RYL_WINE_RUN ${CMAKE_SOURCE_DIR}/cmake/wine-run.sh)
set(CMAKE_CROSSCOMPILING_EMULATOR ${RYL_WINE_RUN})

# Time limits are generous: on a machine without IA-32 emulation the tests
# run inside an emulated machine (scripts/wine-vm.sh), several times slower
# than natively, and making the prefix alone takes minutes there.
set(RYL_WINE_TEST_TIMEOUT 2400)
set(RYL_WINE_PREFIX_TIMEOUT 1200)

# Exit code of cmake/wine-run.sh (and of the scripts that drive Wine) when
# this machine cannot run 32-bit programs: the test is reported as skipped,
# with the reason in its output, never as passed.
set(RYL_WINE_SKIP_CODE 77)

# ryl_add_wine_test(TARGET) registers the executable as one test that needs
# the prefix and the persistent wine server.
function(ryl_add_wine_test target)
  add_test(NAME ${target} COMMAND ${target})
  set_tests_properties(${target} PROPERTIES
    ENVIRONMENT "RYL_WINEPREFIX=${RYL_WINEPREFIX}"
    FIXTURES_REQUIRED wine_server
    SKIP_RETURN_CODE ${RYL_WINE_SKIP_CODE}
    TIMEOUT ${RYL_WINE_TEST_TIMEOUT})
endfunction()

function(ryl_add_wine_fixture)
  add_test(NAME wine_server_start COMMAND ${RYL_WINE_RUN} --setup)
  add_test(NAME wine_server_stop COMMAND ${RYL_WINE_RUN} --shutdown)
  set_tests_properties(wine_server_start PROPERTIES
    ENVIRONMENT "RYL_WINEPREFIX=${RYL_WINEPREFIX}" FIXTURES_SETUP wine_server TIMEOUT ${RYL_WINE_PREFIX_TIMEOUT})
  set_tests_properties(wine_server_stop PROPERTIES
    ENVIRONMENT "RYL_WINEPREFIX=${RYL_WINEPREFIX}" FIXTURES_CLEANUP wine_server)
endfunction()
