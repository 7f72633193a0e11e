# Windows programs built by a cross build run under Wine, so that ctest can run the Windows
# test programs on this machine. The prefix lives in the build tree; the presets point both
# Windows builds at one shared prefix under build/ (a 64-bit prefix runs 32-bit programs too).
if(WIN32 AND CMAKE_CROSSCOMPILING)
  set(TARNWICK_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix
      CACHE PATH "Wine prefix the Windows programs run in (created on first use)")
  set(CMAKE_CROSSCOMPILING_EMULATOR ${PROJECT_SOURCE_DIR}/scripts/wine-run ${TARNWICK_WINEPREFIX})
endif()
