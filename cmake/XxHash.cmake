# xxHash, used header-only (XXH_INLINE_ALL), so that the cross builds need no library of it.
# A cross build may not search the host's /usr/include (it holds the host's C library), so
# only the header is made visible there, through a folder of its own.
find_path(TARNWICK_XXHASH_DIR xxhash.h PATHS /usr/include /usr/local/include
          NO_CMAKE_FIND_ROOT_PATH REQUIRED)
add_library(tarnwick_xxhash INTERFACE)
if(CMAKE_CROSSCOMPILING)
  set(xxhash_view ${CMAKE_BINARY_DIR}/xxhash)
  file(MAKE_DIRECTORY ${xxhash_view})
  file(CREATE_LINK ${TARNWICK_XXHASH_DIR}/xxhash.h ${xxhash_view}/xxhash.h SYMBOLIC)
  target_include_directories(tarnwick_xxhash SYSTEM INTERFACE ${xxhash_view})
else()
  target_include_directories(tarnwick_xxhash SYSTEM INTERFACE ${TARNWICK_XXHASH_DIR})
endif()
