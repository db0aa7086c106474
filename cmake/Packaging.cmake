# The Debian package: `cmake --build build --target package` puts build/<name>_<version>_<arch>.deb beside the
# build, with everything `cmake --install` installs (all components), under /usr.
set(VORLANE_MAINTAINER "Vorlane <support@vorlane.example>" CACHE STRING "Package maintainer")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vorlane-qr)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "${VORLANE_MAINTAINER}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR})
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${VORLANE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${VORLANE_WEBSITE_URL}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "QR code generator with a Chinese desktop window")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Vorlane QR turns nine kinds of content (text, business card, web address,
SMS/MMS, Wi-Fi, phone, e-mail, app-market link, WeChat official account) into
a QR Code symbol, shows it with an optional logo, saves it as a picture and
copies it to the clipboard.
.
The package also holds qrgen, the same generator on the command line, and
vendor-api, a local stand-in for the vendor's web service with demo data.")
# Libraries come from dpkg-shlibdeps (libqt6gui6 brings the X platform and JPEG plugins); the window also
# needs CJK fonts and Qt's own Chinese translation, which no binary links against.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-wqy-microhei | fonts-noto-cjk, qt6-translations-l10n")
# The websites open through xdg-open; without it the window shows the address instead.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils")

# Debian's documentation files: the copyright notice and a changelog, compressed as policy asks.
set(VORLANE_DOC_DIR ${CMAKE_BINARY_DIR}/package-doc)
string(TIMESTAMP VORLANE_CHANGELOG_DATE "%a, %d %b %Y 00:00:00 +0000" UTC)
string(TIMESTAMP VORLANE_COPYRIGHT_YEAR "%Y" UTC)
file(WRITE ${VORLANE_DOC_DIR}/changelog.in
"${CPACK_PACKAGE_NAME} (${PROJECT_VERSION}) unstable; urgency=medium

  * Release ${PROJECT_VERSION}.

 -- ${VORLANE_MAINTAINER}  ${VORLANE_CHANGELOG_DATE}
")
file(WRITE ${VORLANE_DOC_DIR}/copyright.in
"Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/
Upstream-Name: ${CPACK_PACKAGE_NAME}
Source: ${VORLANE_WEBSITE_URL}

Files: *
Copyright: ${VORLANE_COPYRIGHT_YEAR} ${VORLANE_MAINTAINER}
License: ${VORLANE_LICENSE}
 All rights reserved by the copyright holder.
")
configure_file(${VORLANE_DOC_DIR}/changelog.in ${VORLANE_DOC_DIR}/changelog COPYONLY)
configure_file(${VORLANE_DOC_DIR}/copyright.in ${VORLANE_DOC_DIR}/copyright COPYONLY)
install(FILES ${VORLANE_DOC_DIR}/copyright ${VORLANE_DOC_DIR}/changelog DESTINATION share/doc/${CPACK_PACKAGE_NAME})

# What lintian says of the static qrgen, and why it is so.
if(VORLANE_QRGEN_STATIC)
  install(FILES ${CMAKE_CURRENT_LIST_DIR}/lintian-overrides DESTINATION share/lintian/overrides
          RENAME ${CPACK_PACKAGE_NAME})
endif()

# After the staging install: Debian's finishing touches (compressed changelog and man pages, notes stripped).
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/PackageStaging.cmake)

include(CPack)
