# The Debian package, built with CPack (scripts/package). Configure with -DCMAKE_INSTALL_PREFIX=/usr so that the
# program folder lands in /usr/lib/<multiarch>/kelvo.

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kelvo)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR QuenOvrel)
set(CPACK_PACKAGE_CONTACT "QuenOvrel <kelvo@users.noreply.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "turn colour pictures grey (Kelvo.图片去色黑白工具)")
set(CPACK_PACKAGE_DESCRIPTION "A small desktop tool that opens a colour JPEG or BMP picture, turns every
pixel grey and saves the result as a JPEG or 24-bit BMP file. Its window
and all its texts are in simplified Chinese. The command kelvo-gray does
the same for many files at once.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
# What installs is stripped after CPack has staged it, as Debian's dh_strip does it.
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/StripPackage.cmake)
set(CPACK_KELVO_STRIP ${CMAKE_STRIP})

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# dpkg-shlibdeps adds the libraries the programs and the skin library link against, with their versions: among
# them each picture format's own (libjpeg, libpng, libtiff, giflib, libwebp, libheif with its HEVC and AV1
# decoders built in on Debian 12). Named here is what it cannot see because it is loaded at run time: the Qt
# widgets and gui runtime with the JPEG and icon decoders and the X11 platform plugin (all in libqt6gui6), the
# toolkit's own Chinese texts, a font that has the Chinese glyphs, and xdg-open for the web links.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS
  "libqt6widgets6, libqt6gui6, qt6-translations-l10n, fonts-wqy-microhei | fonts-noto-cjk, xdg-utils")

# The copyright and the changelog every Debian package has, in /usr/share/doc/kelvo. A package without an
# upstream beside it is native, so its changelog is changelog.gz, and its newest entry is this version.
set(KELVO_CHANGELOG ${PROJECT_SOURCE_DIR}/resources/debian/changelog)
file(STRINGS ${KELVO_CHANGELOG} KELVO_CHANGELOG_TOP LIMIT_COUNT 1)
if(NOT KELVO_CHANGELOG_TOP MATCHES "^kelvo \\(${PROJECT_VERSION}\\) ")
  message(FATAL_ERROR "The newest entry of ${KELVO_CHANGELOG} is not version ${PROJECT_VERSION}")
endif()
kelvo_install_gzipped(${KELVO_CHANGELOG} ${CMAKE_INSTALL_DOCDIR})
install(FILES ${PROJECT_SOURCE_DIR}/resources/debian/copyright DESTINATION ${CMAKE_INSTALL_DOCDIR})

include(CPack)
