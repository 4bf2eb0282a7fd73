# The Linux package, made by `cpack --preset package` from the release build of the preset
# package: velloway_<version>_<arch>.deb holds the hack in /usr/libexec/xscreensaver, velloway,
# velloway-check and velloway-render in /usr/bin, their manual pages, the settings description in
# /usr/share/xscreensaver/config, the script type and the desktop entry that opens a script, the
# samples in /usr/share/velloway, and the copyright file and the changelog in
# /usr/share/doc/velloway. A native package: its version, project()'s, has no Debian revision.
#
# Depends comes from dpkg-shlibdeps (Debian's dpkg-dev), which reads the libraries the programs
# link. Without it CPack would write a package without Depends, which installs anywhere and then
# fails to start: there is no package without it.
find_program(VELLOWAY_DPKG_SHLIBDEPS dpkg-shlibdeps)
if(NOT VELLOWAY_DPKG_SHLIBDEPS)
  message(FATAL_ERROR "dpkg-shlibdeps not found: the package's Depends would be empty. "
    "Install Debian's dpkg-dev (scripts/setup does).")
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME velloway)
set(CPACK_PACKAGE_VENDOR "Velloway")
# The maintainer, as the package, its changelog and its copyright file name them.
set(VELLOWAY_MAINTAINER "Velloway developers <maintainers@velloway.org>")
set(CPACK_PACKAGE_CONTACT "${VELLOWAY_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Credits-roll screen saver for XScreenSaver")
# Lines as Debian shows them: under 80 characters.
set(CPACK_PACKAGE_DESCRIPTION [[
Plays roll scripts (.vws): lines of text rise from the bottom edge, each
in its own font, size and colour, with pauses, clearings and background
music. A hack for XScreenSaver, also playable on its own in a window that
plays a script again each time it is saved. velloway-check checks a
script; velloway-render makes a video of a roll, with its music.]])
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION x11)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The daemon, and the faces that show the samples as written: Liberation for Arial and Times New
# Roman (same widths), IPAGothic for MS Gothic's Japanese lines, DejaVu Sans for Tahoma.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS
  "xscreensaver, fonts-liberation, fonts-ipafont-gothic, fonts-dejavu-core")
# Faces for names in the world's other scripts, and emoji in their colours: most desktops have
# them already, and they are large.
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "fonts-noto-core, fonts-noto-color-emoji")
set(CPACK_STRIP_FILES ON)
include(CPack)

# The copyright file, and the changelog with this version, compressed as Debian keeps it.
set(debian_doc ${CMAKE_BINARY_DIR}/debian)
configure_file(${PROJECT_SOURCE_DIR}/installer/debian/copyright.in ${debian_doc}/copyright @ONLY)
configure_file(${PROJECT_SOURCE_DIR}/installer/debian/changelog.in ${debian_doc}/changelog @ONLY)
find_program(VELLOWAY_GZIP gzip REQUIRED)
add_custom_command(OUTPUT ${debian_doc}/changelog.gz
  COMMAND ${VELLOWAY_GZIP} -9nkf ${debian_doc}/changelog
  DEPENDS ${debian_doc}/changelog
  VERBATIM)
add_custom_target(debian_changelog ALL DEPENDS ${debian_doc}/changelog.gz)
install(FILES ${debian_doc}/copyright ${debian_doc}/changelog.gz
  DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/${CPACK_PACKAGE_NAME})
