# SPDX-License-Identifier: GPL-2.0-or-later
# The Debian packages, made by scripts/package.sh: ruvuvuri (the program, its
# manual and everything a terminal needs) and ruvuvuri-qt (the Qt panel and the
# desktop integration). Their library dependencies are computed by
# dpkg-shlibdeps from the binaries, not listed by hand.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ruvuvuri)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The Ruvuvuri developers")
set(CPACK_PACKAGE_CONTACT "The Ruvuvuri developers <ruvuvuri@users.noreply.github.com>")
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL cli)
set(CPACK_DEBIAN_CLI_PACKAGE_NAME ruvuvuri)
set(CPACK_DEBIAN_CLI_FILE_NAME DEB-DEFAULT)
# The start-up unit's settings are the administrator's: kept on upgrade.
set(CPACK_DEBIAN_CLI_PACKAGE_CONTROL_EXTRA ${CMAKE_BINARY_DIR}/packaging/conffiles)
# Each package has its own summary, the first line of its description. CPack
# would put the project's one-line description in front of both; it leaves
# out only its own default text, which is therefore what it is given here.
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${CMAKE_PROJECT_NAME} built using CMake")
# Description bodies: CPack indents each line and turns empty lines into " .".
set(CPACK_COMPONENT_CLI_DESCRIPTION
    "read and set the clocks of GeForce 256 to GeForce4 cards
Ruvuvuri reads and sets the core clock, the memory clock and the three
memory timing registers of NVIDIA GeForce cards of the GeForce 256 to
GeForce4 era, through the legacy VGA I/O ports. It checks the video BIOS
for a GeForce before it touches anything, and a simulated card lets you
try everything without the hardware.

This package holds the command-line program with its console panel. The
window panel is in ruvuvuri-qt.")
if(TARGET ruvuvuri_qt)
  list(APPEND CPACK_COMPONENTS_ALL qt)
  set(CPACK_DEBIAN_CLI_PACKAGE_SUGGESTS ruvuvuri-qt)
  set(CPACK_DEBIAN_QT_PACKAGE_NAME ruvuvuri-qt)
  set(CPACK_DEBIAN_QT_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_QT_PACKAGE_DEPENDS
      "ruvuvuri (= ${PROJECT_VERSION}-${CPACK_DEBIAN_PACKAGE_RELEASE})")
  set(CPACK_DEBIAN_QT_PACKAGE_RECOMMENDS pkexec)
  set(CPACK_COMPONENT_QT_DESCRIPTION
      "Qt panel and desktop entry for ruvuvuri
Ruvuvuri reads and sets the core clock, the memory clock and the three
memory timing registers of NVIDIA GeForce 256 to GeForce4 cards.

This package holds its panel as a window, the desktop entry (started
through pkexec) and the application icon.")
endif()
include(CPack)
