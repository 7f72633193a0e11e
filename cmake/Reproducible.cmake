# How the shipped binaries are built. scripts/package.sh turns both options on in the trees it
# configures afresh; the linux, win32 and win64 presets turn them on too, so that the test
# command can package the very binaries its tests ran (scripts/package.sh --trees).

# Release builds that come out byte for byte the same wherever and whenever they are made
# (scripts/reproducible.sh checks it).
option(TARNWICK_REPRODUCIBLE
       "Keep build paths and time stamps out of the binaries (release packages)" OFF)
# Debian's hardening of the tool: checked string functions and a read-only relocation table.
option(TARNWICK_HARDENED "Build with Debian's hardening flags (the .deb)" OFF)

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
if(TARNWICK_HARDENED)
  add_compile_definitions(_FORTIFY_SOURCE=2)
endif()

# Marks a target as one that the packages ship (the tool, the DLL).
function(tarnwick_shipped target)
  if(TARNWICK_REPRODUCIBLE AND WIN32)
    # Symbols leave at link time: strip would write a time stamp into the PE header that the
    # linker left at zero.
    target_link_options(${target} PRIVATE -s)
  endif()
  if(TARNWICK_HARDENED AND NOT WIN32)
    target_link_options(${target} PRIVATE -Wl,-z,relro,-z,now)
  endif()
endfunction()
