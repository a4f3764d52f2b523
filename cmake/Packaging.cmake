# The Debian package, built with CPack (scripts/package). Configure with -DCMAKE_INSTALL_PREFIX=/usr so that the
# program folder lands in /usr/lib/<multiarch>/kelvo.

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kelvo)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR QuenOvrel)
set(CPACK_PACKAGE_CONTACT "QuenOvrel <kelvo@users.noreply.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Kelvo.图片去色黑白工具 - turns colour pictures grey")
set(CPACK_PACKAGE_DESCRIPTION "A small desktop tool that opens a colour JPEG or BMP picture, turns every
pixel grey and saves the result as a 24-bit BMP file. Its window and all
its texts are in simplified Chinese.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# dpkg-shlibdeps adds the libraries the program and the skin library link against, with their versions. Named
# here is what it cannot see because it is loaded at run time: the Qt widgets and gui runtime with the JPEG and
# icon decoders and the X11 platform plugin (all in libqt6gui6), the toolkit's own Chinese texts, a font that
# has the Chinese glyphs, and xdg-open for the web links.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS
  "libqt6widgets6, libqt6gui6, qt6-translations-l10n, fonts-wqy-microhei | fonts-noto-cjk, xdg-utils")

include(CPack)
