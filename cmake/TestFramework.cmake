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

