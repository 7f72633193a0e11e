# tarnwick_platform supplies the Windows calls the product code makes. On Windows these are
# the system's own; on Linux a stand-in built on ICU provides the same contract. Both also
# implement the platform-neutral calls declared in platform/ (the tool's choice of collation).
if(WIN32)
  file(GLOB TARNWICK_WINDOWS_SOURCES CONFIGURE_DEPENDS platform/windows/*.cpp)
  add_library(tarnwick_platform STATIC ${TARNWICK_WINDOWS_SOURCES})
  target_include_directories(tarnwick_platform PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
else()
  # The collation library (i18n) is loaded by the stand-in when it first collates, by name:
  # only its headers are used at build time.
  find_package(ICU 70 REQUIRED COMPONENTS uc i18n)
  file(GLOB TARNWICK_STANDIN_SOURCES CONFIGURE_DEPENDS platform/linux/*.cpp)
  add_library(tarnwick_platform STATIC ${TARNWICK_STANDIN_SOURCES})
  target_include_directories(tarnwick_platform PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
  target_link_libraries(tarnwick_platform PUBLIC ICU::uc ${CMAKE_DL_LIBS})
endif()
