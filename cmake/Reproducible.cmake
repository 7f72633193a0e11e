# Release builds that come out byte for byte the same wherever and whenever they are made
# (scripts/package.sh turns this on; scripts/reproducible.sh checks it).
option(TARNWICK_REPRODUCIBLE
       "Keep build paths and time stamps out of the binaries (release packages)" OFF)
if(TARNWICK_REPRODUCIBLE)
  # The folders of the checkout and of the build tree never reach the binaries (__FILE__,
  # assertion texts, debug information). GCC and clang try the last map first, so the build
  # tree, which may lie inside the checkout, comes last.
  add_compile_options(
    $<$<COMPILE_LANGUAGE:C,CXX>:-ffile-prefix-map=${CMAKE_SOURCE_DIR}/=>
    $<$<COMPILE_LANGUAGE:C,CXX>:-ffile-prefix-map=${CMAKE_BINARY_DIR}/=build/>)
  if(WIN32)
    # A PE file's header holds a link time unless the linker is told to leave it at zero.
    add_link_options(-Wl,--no-insert-timestamp)
  endif()
endif()
