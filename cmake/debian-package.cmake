# The Linux package, made by `cpack --preset package` from the release build of the preset
# package: velloway_<version>_<arch>.deb holds the hack in /usr/libexec/xscreensaver, velloway,
# velloway-check and velloway-render in /usr/bin, the settings description in
# /usr/share/xscreensaver/config, the samples in /usr/share/velloway and the copyright file in
# /usr/share/doc/velloway.
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
set(CPACK_PACKAGE_CONTACT "Velloway developers <velloway@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Credits-roll screen saver for XScreenSaver")
set(CPACK_PACKAGE_DESCRIPTION
  "Plays roll scripts (.vws): lines of text rise from the bottom edge, each in its own font, size and colour, with pauses, clearings and background music. A hack for XScreenSaver, also playable on its own; velloway-render makes a video of a roll, with its music.")
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

install(FILES ${PROJECT_SOURCE_DIR}/installer/debian/copyright
  DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/${CPACK_PACKAGE_NAME})
