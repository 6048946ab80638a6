# The Debian package, made by CPack from the install rules:
#   cd build && cpack -G DEB      (tools/package.sh does it from a clean clone)

set(DIMRA_PACKAGE_MAINTAINER "The Dimra developers <dimra@example.org>"
    CACHE STRING "The Maintainer field of the Debian package: name <e-mail>")
set(dimra_docdir ${CMAKE_INSTALL_DATADIR}/doc/dimra)

# share/doc/dimra/copyright: LICENSE in Debian's machine-readable form, which
# indents the licence text by one space and writes a blank line as " .".
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/LICENSE)
file(READ ${PROJECT_SOURCE_DIR}/LICENSE license)
string(REGEX MATCH "Copyright \\(c\\) ([^\n]*)" _ "${license}")
set(copyright_holder "${CMAKE_MATCH_1}")
string(REGEX REPLACE "^.*Copyright [^\n]*\n+" "" license "${license}")
string(STRIP "${license}" license)
string(REPLACE "\n\n" "\n.\n" license "${license}")
string(REPLACE "\n" "\n " license "${license}")
file(CONFIGURE OUTPUT ${PROJECT_BINARY_DIR}/copyright @ONLY CONTENT
"Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/
Upstream-Name: Dimra

Files: *
Copyright: @copyright_holder@
License: Expat
 @license@
")
install(FILES ${PROJECT_BINARY_DIR}/copyright DESTINATION ${dimra_docdir})

# A package whose version has no Debian revision is native and carries its
# changelog as changelog.gz.
file(CONFIGURE OUTPUT ${PROJECT_BINARY_DIR}/changelog @ONLY CONTENT
"dimra (@PROJECT_VERSION@) stable; urgency=medium

  * Dimra as a Debian package: the window with its menu entry, icon and
    AppStream record, dimractl and dimra-board, manual pages and bash
    completion.
  * dimra-mqtt puts the boards of a computer on an MQTT broker, with Home
    Assistant discovery; a systemd unit, not enabled, runs it.

 -- @DIMRA_PACKAGE_MAINTAINER@  Mon, 07 Dec 2026 12:00:00 +0000
")
dimra_install_gzipped(${PROJECT_BINARY_DIR}/changelog ${dimra_docdir})

set(CPACK_PACKAGE_NAME dimra)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The Dimra developers")
set(CPACK_PACKAGE_CONTACT "${DIMRA_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "host tool for a three-channel PWM LED dimmer board")
set(CPACK_PACKAGE_DESCRIPTION
"Dimra sets the PWM frequency (25-150000 Hz) and the duty of each channel
(0-100 %) of an LED light source controller, as used for machine-vision and
lab lighting, over a serial line at 9600 baud. Its window and programs speak
Chinese on a Chinese desktop and English on any other.

dimractl sets and reads the board from scripts and test rigs, and the
Python package dimra from Python programs; dimra-board is
a virtual board on a pseudo-terminal, for trying Dimra without the hardware.
dimra-mqtt puts the boards of a computer on an MQTT broker such as
mosquitto, as lights that Home Assistant discovers.")
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Depends comes from the libraries the programs link.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The Chinese texts of Qt's own buttons, dialogs and --help headings, a font
# that has the window's characters, and what makes the completions answer; Python
# for the dimra package.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-translations-l10n, fonts-wqy-microhei | fonts-noto-cjk, bash-completion, python3")
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${DIMRA_HOMEPAGE}")
# dimra-mqtt's service: systemd reloads on install and removal, and a service
# enabled by hand stops and is disabled when the package is removed.
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
    ${PROJECT_SOURCE_DIR}/cmake/debian/postinst ${PROJECT_SOURCE_DIR}/cmake/debian/prerm ${PROJECT_SOURCE_DIR}/cmake/debian/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)

include(CPack)
