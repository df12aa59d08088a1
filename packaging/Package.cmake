# The Debian package: `cpack -G DEB` in the build folder (or scripts/package.sh)
# makes plovex_VERSION_ARCH.deb from what the install rules put in place, under
# /usr. Its dependencies are worked out from the binaries (dpkg-shlibdeps), its
# version is the project's, and the binaries in it are stripped.
set(PLOVEX_PACKAGE_MAINTAINER "The plovex developers <plovex@example.org>" CACHE STRING
    "The Maintainer field of the Debian package: \"Name <address>\"")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME plovex)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The plovex developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${PLOVEX_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SUGGESTS bash-completion)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# The long description, under the summary line (CPack indents it).
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "plovex polls a two-axis inclinometer board on a serial line at 38400 baud
and shows the X and Y tilt on two dial gauges, the temperature and the
state of the link. It lists the board's EEPROM filter parameters and
writes one after confirmation.
.
plovex-cli does the same without a display: it prints the records as
text, CSV or JSON lines, reads and writes parameters, uploads firmware,
and runs a simulated board. It also logs to CSV files unattended, with
averaging, rotation, retention and compression. Two systemd unit templates
run the monitor or the logger for one port.")

include(CPack)
