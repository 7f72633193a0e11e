# GoogleTest and GoogleMock as GTest::gtest, GTest::gtest_main, GTest::gmock, GTest::gmock_main.
# On Linux they come from the system package. A cross build compiles them with the cross
# compiler from the sources Debian's googletest package ships.
if(CMAKE_CROSSCOMPILING)
  set(TARNWICK_GOOGLETEST_SOURCE /usr/src/googletest
      CACHE PATH "GoogleTest sources compiled for cross builds")
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
  add_subdirectory(${TARNWICK_GOOGLETEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest
                   EXCLUDE_FROM_ALL SYSTEM)
else()
  find_package(GTest REQUIRED)
endif()

# tarnwick_test_program(TARGET): a test program of this tree. GoogleTest's header and the
# standard headers most test files include are parsed once per tree, into a precompiled header
# that the test programs share: parsing them took a fifth to a quarter of each test file's
# compilation.
set(TARNWICK_TEST_PRECOMPILED_HEADERS <gtest/gtest.h> <algorithm> <cstdint> <random> <string>
                                      <vector>)
function(tarnwick_test_program target)
  if(TARGET tarnwick_tests AND NOT target STREQUAL "tarnwick_tests")
    target_precompile_headers(${target} REUSE_FROM tarnwick_tests)
  else()
    target_precompile_headers(${target} PRIVATE ${TARNWICK_TEST_PRECOMPILED_HEADERS})
  endif()
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    # Precompiled headers lose their system-header standing in GCC 12, and it then reports its
    # known false positives on libstdc++'s string copies inlined into a test, which the same
    # headers parsed as text keep quiet. The tests also run under AddressSanitizer, which finds
    # real out-of-bounds accesses.
    target_compile_options(${target} PRIVATE -Wno-array-bounds -Wno-stringop-overflow
                                             -Wno-stringop-overread)
  endif()
endfunction()
