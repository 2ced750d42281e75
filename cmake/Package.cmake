# `cpack -G DEB` in the build directory: one Debian package of the programs,
# the desktop entry, the icons and the service (see Install.cmake). Its
# library dependencies come from dpkg-shlibdeps over the programs it holds.
set(TVGUIDE_PACKAGE_MAINTAINER "TV guide maintainers <maintainers@tvguide.invalid>"
    CACHE STRING "Maintainer field of the Debian package")

set(CPACK_PACKAGE_NAME tvguide)
set(CPACK_PACKAGE_VENDOR "TV guide")
set(CPACK_PACKAGE_CONTACT "${TVGUIDE_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "TV programme guide for Chinese television, with its EPG server")
set(CPACK_PACKAGE_DESCRIPTION "\
A desktop programme guide for Chinese television: pick a channel group, a
channel and a weekday, and it shows that day's schedule, downloaded from an
EPG web server.
.
tvguide-epgd is that server: weekly day pages made from XMLTV listings (or
sample listings), run as a hardened systemd service (tvguide-epgd.service,
options in /etc/default/tvguide-epgd). tvguide-probe drives the guide
headless and prints its state as JSON.")
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_INSTALL_PREFIX /usr)
# The unit and the options file are written for the prefix the install sees,
# so the staging install has to see /usr itself, with the staging directory
# as DESTDIR.
set(CPACK_SET_DESTDIR ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Every text of the guide is Chinese: without a CJK font it shows boxes.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-wqy-microhei | fonts-noto-cjk, hicolor-icon-theme")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
    ${PROJECT_SOURCE_DIR}/packaging/debian/conffiles
    ${PROJECT_SOURCE_DIR}/packaging/debian/postinst
    ${PROJECT_SOURCE_DIR}/packaging/debian/prerm
    ${PROJECT_SOURCE_DIR}/packaging/debian/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

set(CPACK_GENERATOR DEB)
set(CPACK_SOURCE_GENERATOR TGZ)
set(CPACK_SOURCE_IGNORE_FILES "/\\\\.git/" "/build[^/]*/")
include(CPack)
