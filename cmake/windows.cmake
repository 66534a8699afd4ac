# The Windows build, cross-compiled with Debian's mingw-w64:
#   cmake/mingw-i686.cmake   the product, ruvuvuri.exe for 32-bit Windows 98 SE .. XP
#   cmake/mingw-x86_64.cmake the portable and Windows-only tests, run under wine64
# Debian ships no Windows build of pugixml or GoogleTest: both are built here
# from source (scripts/windows-deps.sh puts pugixml's in third_party/).
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

# Only the JSON headers, not the whole of the host's /usr/include.
set(json_include ${CMAKE_BINARY_DIR}/json-include)
file(MAKE_DIRECTORY ${json_include})
file(CREATE_LINK ${RUVUVURI_JSON_INCLUDE_DIR}/nlohmann ${json_include}/nlohmann SYMBOLIC)

set(RUVUVURI_DATA_DIR ".")
set(RUVUVURI_MODULE_DIR ".")
configure_file(src/app/build_config.h.in ${CMAKE_BINARY_DIR}/generated/build_config.h @ONLY)

add_library(ruvuvuri_pugixml STATIC ${RUVUVURI_PUGIXML_SOURCE_DIR}/pugixml.cpp)
target_include_directories(ruvuvuri_pugixml SYSTEM PUBLIC ${RUVUVURI_PUGIXML_SOURCE_DIR})

add_library(ruvuvuri_base STATIC src/base/error_text.cpp)
target_include_directories(ruvuvuri_base PUBLIC src)

# The portable sources plus the Windows platform files, without those of POSIX
# systems and the entry points.
file(GLOB RUVUVURI_CORE_SOURCES CONFIGURE_DEPENDS
     src/hw/*.cpp src/hw/backends/*.cpp src/card/*.cpp src/clock/*.cpp src/app/*.cpp src/ui/*.cpp
     src/ui/win32/*.cpp)
list(FILTER RUVUVURI_CORE_SOURCES EXCLUDE REGEX
     "(_posix|_linux|/linux_io[a-z_]*|/realtime_bracket|/signal_block|/stop_signals|/run_lock|/privileges|/engine_loader|/main|/win_main|/fstat64_win)\\.cpp$")
add_library(ruvuvuri_core STATIC ${RUVUVURI_CORE_SOURCES})
target_include_directories(ruvuvuri_core PUBLIC src ${CMAKE_BINARY_DIR}/generated)
target_include_directories(ruvuvuri_core SYSTEM PUBLIC ${json_include})
target_link_libraries(ruvuvuri_core PUBLIC ruvuvuri_base ruvuvuri_pugixml comctl32)

# The resources: icon, version 1.0.2.0, the visual-styles manifest.
string(REPLACE "." "," RUVUVURI_VERSION_COMMAS ${PROJECT_VERSION})
set(RUVUVURI_ICON ${CMAKE_SOURCE_DIR}/ui/ruvuvuri.ico)
set(RUVUVURI_MANIFEST ${CMAKE_SOURCE_DIR}/packaging/windows/ruvuvuri.manifest)
configure_file(packaging/windows/ruvuvuri.rc.in ${CMAKE_BINARY_DIR}/ruvuvuri.rc @ONLY)

add_executable(ruvuvuri WIN32 src/app/win_main.cpp ${CMAKE_BINARY_DIR}/ruvuvuri.rc)
target_link_libraries(ruvuvuri PRIVATE ruvuvuri_core)
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  # Loads on Windows 98 and later; the libstdc++ file streams' _fstat64 import,
  # which 98 SE lacks, is supplied by the program itself.
  target_sources(ruvuvuri PRIVATE src/app/fstat64_win.cpp)
  target_link_options(ruvuvuri PRIVATE -Wl,--major-subsystem-version,4 -Wl,--minor-subsystem-version,0
                      -Wl,--major-os-version,4 -Wl,--minor-os-version,0)
endif()
configure_file(ui/Ruvuvuri.ui ${CMAKE_BINARY_DIR}/Ruvuvuri.ui COPYONLY)

if(RUVUVURI_BUILD_TESTS AND EXISTS ${CMAKE_SOURCE_DIR}/tests/win/CMakeLists.txt)
  enable_testing()
  add_subdirectory(tests/win)
endif()
