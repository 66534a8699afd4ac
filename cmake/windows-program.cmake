# SPDX-License-Identifier: GPL-2.0-or-later
# The Windows program over the layers (see cmake/windows.cmake): the native
# panel's common controls, the resources and the 32-bit loader's demands.
target_link_libraries(ruvuvuri_ui PRIVATE comctl32)
# On Linux the JSON headers are in the compiler's own search path.
target_link_libraries(ruvuvuri_app PRIVATE nlohmann_json::nlohmann_json)

# The resources: icon, version 1.0.2.0, the visual-styles manifest.
string(REPLACE "." "," RUVUVURI_VERSION_COMMAS ${PROJECT_VERSION})
set(RUVUVURI_ICON ${CMAKE_SOURCE_DIR}/ui/ruvuvuri.ico)
set(RUVUVURI_MANIFEST ${CMAKE_SOURCE_DIR}/packaging/windows/ruvuvuri.manifest)
configure_file(packaging/windows/ruvuvuri.rc.in ${CMAKE_BINARY_DIR}/ruvuvuri.rc @ONLY)

add_executable(ruvuvuri WIN32 src/app/win_main.cpp ${CMAKE_BINARY_DIR}/ruvuvuri.rc)
target_link_libraries(ruvuvuri PRIVATE ruvuvuri_app)
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  # Loads on Windows 98 and later; the libstdc++ file streams' _fstat64 import,
  # which 98 SE lacks, is supplied by the program itself.
  target_sources(ruvuvuri PRIVATE src/app/fstat64_win.cpp)
  target_link_options(ruvuvuri PRIVATE -Wl,--major-subsystem-version,4 -Wl,--minor-subsystem-version,0
                      -Wl,--major-os-version,4 -Wl,--minor-os-version,0)
endif()
configure_file(ui/Ruvuvuri.ui ${CMAKE_BINARY_DIR}/Ruvuvuri.ui COPYONLY)

if(RUVUVURI_TESTS AND EXISTS ${CMAKE_SOURCE_DIR}/tests/win/CMakeLists.txt)
  enable_testing()
  add_subdirectory(tests/win)
endif()
