# The Debian package of the Linux build: `cpack -G DEB` in the build tree.
# Its dependencies come from the libraries the program links (dpkg-shlibdeps).
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME velumin)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The Velumin developers")
set(CPACK_PACKAGE_CONTACT "The Velumin developers <velumin@velumin.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "network activity lamps in the tray, the keyboard LEDs and a serial port")
set(CPACK_PACKAGE_DESCRIPTION "Velumin watches the octet counters of every network interface and
flashes a receive lamp and a send lamp whenever data has moved: its tray
icon, the keyboard's lock-key LEDs and an external lamp on a serial port's
DTR and RTS lines. In a Wayland session the keyboard lamps need access to
/dev/uinput, which velumin-uinput-access grants.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt's Wayland platform, for the tray and dialogs in a Wayland session, and
# Qt's own texts in Japanese (a text box's menu).
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-wayland, qt6-translations-l10n")
include(CPack)
