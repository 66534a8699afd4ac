# SPDX-License-Identifier: GPL-2.0-or-later
# The Windows build, cross-compiled with Debian's mingw-w64:
#   cmake/mingw-i686.cmake   the product, ruvuvuri.exe for 32-bit Windows 98 SE .. XP
#   cmake/mingw-x86_64.cmake the portable and Windows-only tests, run under wine64
# Debian ships no Windows build of pugixml or GoogleTest: both are built here
# from source (scripts/windows-deps.sh puts pugixml's in third_party/). The
# layers are the same libraries as on Linux, with the same include roots; only
# their platform files differ (ruvuvuri_platform_sources below).
enable_language(C)
enable_language(RC)

set(RUVUVURI_PUGIXML_SOURCE_DIR ${CMAKE_SOURCE_DIR}/third_party/pugixml/src
    CACHE PATH "Folder holding pugixml.cpp")
set(RUVUVURI_GTEST_SOURCE_DIR /usr/src/googletest CACHE PATH "GoogleTest sources")
set(RUVUVURI_JSON_INCLUDE_DIR /usr/include CACHE PATH "Folder holding nlohmann/json.hpp")
if(NOT EXISTS ${RUVUVURI_PUGIXML_SOURCE_DIR}/pugixml.cpp)
  message(FATAL_ERROR "pugixml.cpp not found in ${RUVUVURI_PUGIXML_SOURCE_DIR}; "
                      "run scripts/windows-deps.sh as root first")
endif()

# Windows 2000 headers: anything newer is looked up at run time.
add_compile_definitions(WINVER=0x0500 _WIN32_WINNT=0x0500 _WIN32_IE=0x0500 WIN32_LEAN_AND_MEAN
                        NOMINMAX)
# One file: the C++ runtime and libgcc inside the exe.
add_link_options(-static -static-libgcc -static-libstdc++)

# The program's files sit beside it.
set(RUVUVURI_DATA_DIR_FROM_BIN ".")
set(RUVUVURI_MODULE_DIR_FROM_BIN ".")
configure_file(src/app/build_config.h.in ${CMAKE_BINARY_DIR}/generated/build_config.h @ONLY)
add_library(ruvuvuri_build_config INTERFACE)
target_include_directories(ruvuvuri_build_config INTERFACE ${CMAKE_BINARY_DIR}/generated)

# Only the JSON headers, not the whole of the host's /usr/include.
set(json_include ${CMAKE_BINARY_DIR}/json-include)
file(MAKE_DIRECTORY ${json_include})
file(CREATE_LINK ${RUVUVURI_JSON_INCLUDE_DIR}/nlohmann ${json_include}/nlohmann SYMBOLIC)
add_library(nlohmann_json::nlohmann_json INTERFACE IMPORTED)
target_include_directories(nlohmann_json::nlohmann_json SYSTEM INTERFACE ${json_include})

add_library(ruvuvuri_pugixml STATIC ${RUVUVURI_PUGIXML_SOURCE_DIR}/pugixml.cpp)
target_include_directories(ruvuvuri_pugixml SYSTEM PUBLIC ${RUVUVURI_PUGIXML_SOURCE_DIR})
set(RUVUVURI_PUGIXML ruvuvuri_pugixml)
find_package(Threads REQUIRED)

# Per layer: each POSIX file and its Windows counterpart ("-" where Windows
# needs none), then the files only Windows has.
set(ruvuvuri_windows_swaps_base
  src/base/signal_block.cpp=-)
set(ruvuvuri_windows_adds_base src/base/win_error_text.cpp)
set(ruvuvuri_windows_swaps_hw
  src/hw/backends/linux_ports.cpp=src/hw/backends/win_ports.cpp)
set(ruvuvuri_windows_swaps_ui
  src/ui/engine_loader.cpp=-
  src/ui/panel_file_read.cpp=src/ui/panel_file_read_win.cpp)
set(ruvuvuri_windows_adds_ui src/ui/win32/win32_engine.cpp)
set(ruvuvuri_windows_swaps_app
  src/app/host_posix.cpp=src/app/host_win.cpp
  src/app/keep_question.cpp=src/app/keep_question_win.cpp
  src/app/privileges.cpp=-)

# Called by ruvuvuri_layer with the layer's source list. A POSIX file in the
# list that has no entry here is an error, so a new one cannot slip into the
# Windows build unnoticed.
function(ruvuvuri_platform_sources layer sources_var)
  set(sources ${${sources_var}})
  foreach(swap ${ruvuvuri_windows_swaps_${layer}})
    string(REPLACE "=" ";" pair ${swap})
    list(GET pair 0 posix_file)
    list(GET pair 1 windows_file)
    list(FIND sources ${posix_file} at)
    if(at EQUAL -1)
      message(FATAL_ERROR "${posix_file} is no longer in the ${layer} layer; update cmake/windows.cmake")
    endif()
    list(REMOVE_AT sources ${at})
    if(NOT windows_file STREQUAL "-")
      list(INSERT sources ${at} ${windows_file})
    endif()
  endforeach()
  list(APPEND sources ${ruvuvuri_windows_adds_${layer}})
  set(${sources_var} ${sources} PARENT_SCOPE)
endfunction()
