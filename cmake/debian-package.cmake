# `cpack -G DEB` in a native build directory makes velloway_<version>_<arch>.deb: the hack in
# /usr/libexec/xscreensaver, velloway and velloway-check in /usr/bin, the settings description in
# /usr/share/xscreensaver/config and the samples in /usr/share/velloway.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME velloway)
set(CPACK_PACKAGE_VENDOR "Velloway")
set(CPACK_PACKAGE_CONTACT "Velloway developers <velloway@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Credits-roll screen saver for XScreenSaver")
set(CPACK_PACKAGE_DESCRIPTION
  "Plays roll scripts (.vws): lines of text rise from the bottom edge, each in its own font, size and colour, with pauses, clearings and background music. A hack for XScreenSaver, also playable on its own.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION x11)
# The libraries' packages, as dpkg-shlibdeps finds them; the daemon is recommended, not needed.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xscreensaver, fonts-liberation, fonts-ipafont-gothic")
set(CPACK_STRIP_FILES ON)
include(CPack)
