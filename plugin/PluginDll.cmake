# Tarnwick.dll: the entry points, the resources and the host-boundary library, linked into one
# self-contained file at the top of the build tree (build/win32/Tarnwick.dll,
# build/win64/Tarnwick.dll), ready to copy into the editor's plug-in folder.
find_package(Python3 REQUIRED COMPONENTS Interpreter)
enable_language(RC)

set(TARNWICK_BITMAP ${CMAKE_CURRENT_BINARY_DIR}/resources/Tarnwick.bmp)
add_custom_command(
  OUTPUT ${TARNWICK_BITMAP}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_CURRENT_BINARY_DIR}/resources
  COMMAND Python3::Interpreter ${PROJECT_SOURCE_DIR}/resources/make_bitmap.py ${TARNWICK_BITMAP}
  DEPENDS ${PROJECT_SOURCE_DIR}/resources/make_bitmap.py
  COMMENT "Generating the toolbar bitmap")

add_library(tarnwick_dll SHARED ${PROJECT_SOURCE_DIR}/Tarnwick.cpp
                                ${PROJECT_SOURCE_DIR}/Tarnwick.def
                                ${PROJECT_SOURCE_DIR}/Tarnwick.rc ${TARNWICK_BITMAP})
set_source_files_properties(${PROJECT_SOURCE_DIR}/Tarnwick.rc PROPERTIES OBJECT_DEPENDS
                                                                         ${TARNWICK_BITMAP})
target_include_directories(tarnwick_dll PRIVATE ${CMAKE_CURRENT_BINARY_DIR}/resources)
target_link_libraries(tarnwick_dll PRIVATE tarnwick_plugin)
# The .def file names the exports; stdcall fixup maps each plain name to its decorated
# 32-bit symbol (OnCommand to OnCommand@4) without a warning per name.
target_link_options(tarnwick_dll PRIVATE -Wl,--enable-stdcall-fixup)
tarnwick_shipped(tarnwick_dll)
set_target_properties(tarnwick_dll PROPERTIES
  OUTPUT_NAME Tarnwick
  PREFIX ""
  RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}
  ARCHIVE_OUTPUT_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})

# cmake --install puts the DLL beside the tool; its import library is of no use to an editor.
include(GNUInstallDirs)
install(TARGETS tarnwick_dll RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT Development EXCLUDE_FROM_ALL)
