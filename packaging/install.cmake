# SPDX-License-Identifier: GPL-2.0-or-later
# What an install holds besides the program, its panel file and the Qt module.
# Every destination is relative to the prefix. Component "cli" is the program
# and everything it uses on a terminal; "qt" is the panel module and the
# desktop integration, which only make sense with it.
set(RUVUVURI_DOC_DIR "${CMAKE_INSTALL_DATAROOTDIR}/doc/ruvuvuri")
# The polkit action and the desktop entry name the program by its full path,
# as pkexec requires.
set(RUVUVURI_PROGRAM_PATH "${CMAKE_INSTALL_FULL_BINDIR}/ruvuvuri")
set(RUVUVURI_PACKAGING_OUT "${CMAKE_BINARY_DIR}/packaging")
option(RUVUVURI_DEB_LAYOUT "Install the Debian copyright and changelog files of each package (set by scripts/package.sh)" OFF)

# The program and what running it needs, with nothing else.
add_custom_target(ruvuvuri_run)
foreach(target ruvuvuri ruvuvuri_qt)
  if(TARGET ${target})
    add_dependencies(ruvuvuri_run ${target})
  endif()
endforeach()

# The manual, compressed as Debian keeps manuals (-n: no name or time stamp).
add_custom_command(
  OUTPUT ${RUVUVURI_PACKAGING_OUT}/ruvuvuri.1.gz
  COMMAND ${CMAKE_COMMAND} -E make_directory ${RUVUVURI_PACKAGING_OUT}
  COMMAND sh -c "gzip -9 -n -c \"$1\" > \"$2\"" sh ${CMAKE_SOURCE_DIR}/docs/ruvuvuri.1
          ${RUVUVURI_PACKAGING_OUT}/ruvuvuri.1.gz
  DEPENDS ${CMAKE_SOURCE_DIR}/docs/ruvuvuri.1
  VERBATIM)
add_custom_target(ruvuvuri_manual ALL DEPENDS ${RUVUVURI_PACKAGING_OUT}/ruvuvuri.1.gz)
install(FILES ${RUVUVURI_PACKAGING_OUT}/ruvuvuri.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

install(FILES ${CMAKE_SOURCE_DIR}/packaging/ruvuvuri.bash-completion
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME ruvuvuri)
configure_file(${CMAKE_SOURCE_DIR}/packaging/org.ruvuvuri.ruvuvuri.policy.in
               ${RUVUVURI_PACKAGING_OUT}/org.ruvuvuri.ruvuvuri.policy @ONLY)
install(FILES ${RUVUVURI_PACKAGING_OUT}/org.ruvuvuri.ruvuvuri.policy
        DESTINATION ${CMAKE_INSTALL_DATADIR}/polkit-1/actions)

# The start-up unit, installed but not enabled, and its settings. A package for
# /usr puts them where the system looks (/lib/systemd/system, /etc); any other
# prefix keeps them under it.
if(CMAKE_INSTALL_PREFIX STREQUAL "/usr")
  set(RUVUVURI_UNIT_DIR /lib/systemd/system)
  set(RUVUVURI_DEFAULT_DIR ${CMAKE_INSTALL_FULL_SYSCONFDIR}/default)
else()
  set(RUVUVURI_UNIT_DIR lib/systemd/system)
  set(RUVUVURI_DEFAULT_DIR ${CMAKE_INSTALL_SYSCONFDIR}/default)
endif()
set(RUVUVURI_DEFAULT_FILE ${CMAKE_INSTALL_FULL_SYSCONFDIR}/default/ruvuvuri)
configure_file(${CMAKE_SOURCE_DIR}/packaging/ruvuvuri.service.in
               ${RUVUVURI_PACKAGING_OUT}/ruvuvuri.service @ONLY)
install(FILES ${RUVUVURI_PACKAGING_OUT}/ruvuvuri.service DESTINATION ${RUVUVURI_UNIT_DIR})
install(FILES ${CMAKE_SOURCE_DIR}/packaging/default/ruvuvuri DESTINATION ${RUVUVURI_DEFAULT_DIR})
file(WRITE ${RUVUVURI_PACKAGING_OUT}/conffiles "${RUVUVURI_DEFAULT_FILE}\n")

set(RUVUVURI_EXAMPLES geforce2-gts geforce2-mx-locked geforce4-ti-13500)
list(TRANSFORM RUVUVURI_EXAMPLES PREPEND ${CMAKE_SOURCE_DIR}/examples/)
list(TRANSFORM RUVUVURI_EXAMPLES APPEND .json OUTPUT_VARIABLE RUVUVURI_EXAMPLE_PROFILES)
list(TRANSFORM RUVUVURI_EXAMPLES APPEND .rom OUTPUT_VARIABLE RUVUVURI_EXAMPLE_IMAGES)
install(FILES ${RUVUVURI_EXAMPLE_PROFILES} ${RUVUVURI_EXAMPLE_IMAGES}
        DESTINATION ${RUVUVURI_DOC_DIR}/examples)
install(FILES ${CMAKE_SOURCE_DIR}/README.md DESTINATION ${RUVUVURI_DOC_DIR})

if(RUVUVURI_DEB_LAYOUT)
  # Debian's form of the licence: a copyright file in every package's
  # documentation folder, pointing at /usr/share/common-licenses/GPL-2.
  add_custom_command(
    OUTPUT ${RUVUVURI_PACKAGING_OUT}/changelog.Debian.gz
    COMMAND sh -c "gzip -9 -n -c \"$1\" > \"$2\"" sh ${CMAKE_SOURCE_DIR}/packaging/debian/changelog
            ${RUVUVURI_PACKAGING_OUT}/changelog.Debian.gz
    DEPENDS ${CMAKE_SOURCE_DIR}/packaging/debian/changelog
    VERBATIM)
  add_custom_target(ruvuvuri_deb_changelog ALL DEPENDS ${RUVUVURI_PACKAGING_OUT}/changelog.Debian.gz)
  foreach(package_component ruvuvuri:cli ruvuvuri-qt:qt)
    string(REPLACE ":" ";" pair ${package_component})
    list(GET pair 0 package)
    list(GET pair 1 component)
    install(FILES ${CMAKE_SOURCE_DIR}/packaging/debian/copyright
                  ${RUVUVURI_PACKAGING_OUT}/changelog.Debian.gz
            DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/${package} COMPONENT ${component})
  endforeach()
else()
  install(FILES ${CMAKE_SOURCE_DIR}/LICENSE DESTINATION ${RUVUVURI_DOC_DIR})
endif()

if(TARGET ruvuvuri_qt)
  configure_file(${CMAKE_SOURCE_DIR}/packaging/ruvuvuri.desktop.in
                 ${RUVUVURI_PACKAGING_OUT}/ruvuvuri.desktop @ONLY)
  install(FILES ${RUVUVURI_PACKAGING_OUT}/ruvuvuri.desktop
          DESTINATION ${CMAKE_INSTALL_DATADIR}/applications COMPONENT qt)
  install(FILES ${CMAKE_SOURCE_DIR}/packaging/org.ruvuvuri.Ruvuvuri.metainfo.xml
          DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo COMPONENT qt)
  set(icon_dir ${CMAKE_INSTALL_DATADIR}/icons/hicolor)
  foreach(size 16 32)
    install(FILES ${CMAKE_SOURCE_DIR}/ui/ruvuvuri-${size}.png DESTINATION ${icon_dir}/${size}x${size}/apps
            RENAME ruvuvuri.png COMPONENT qt)
  endforeach()
  foreach(size 48 128)
    install(FILES ${CMAKE_SOURCE_DIR}/packaging/icons/ruvuvuri-${size}.png
            DESTINATION ${icon_dir}/${size}x${size}/apps RENAME ruvuvuri.png COMPONENT qt)
  endforeach()
  install(FILES ${CMAKE_SOURCE_DIR}/packaging/icons/ruvuvuri.svg DESTINATION ${icon_dir}/scalable/apps
          COMPONENT qt)
endif()

if(RUVUVURI_TESTS)
  add_test(NAME install_runs_from_any_prefix
           COMMAND bash ${CMAKE_SOURCE_DIR}/scripts/check_install.sh ${CMAKE_BINARY_DIR})
endif()
