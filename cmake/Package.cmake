# The Debian package, made by CPack from the install rules (scripts/package builds it
# into build/). Its run-time dependencies come from the program itself, through
# dpkg-shlibdeps; the version is the project's.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kest-redirect)
set(CPACK_PACKAGE_VENDOR Kest)
set(CPACK_PACKAGE_CONTACT "Kest Redirect developers <support@kest-redirect.example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
  "keyboard wedge: types serial, TCP or file data into any window")
# The extended description; the summary above is its first line.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
  "Kest Redirect takes text from a serial port (bar-code scanners, scales, lab
instruments), a TCP connection or a watched file, cleans and translates it by
the user's rules, and types the result into the active window as real key
events, so that ordinary desktop programs receive device data as if it were
typed.

Rules search and replace text, drop characters, add a prefix and a suffix,
press keys such as Tab and Enter, insert the date and time, send answers back
to the device and bring a window chosen by its title to the front. Several
named instances run side by side, one per port, and each can start at login.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://kest-redirect.example.org)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt finds its display plugins at run time, so no library link shows that the window
# needs them; Qt's own packages only recommend them, and a machine that installs
# without recommendations would get a program that cannot open its window.
set(CPACK_DEBIAN_PACKAGE_DEPENDS qt6-qpa-plugins)
# On a Wayland desktop Qt draws the window as a native client only with its Wayland
# plugin; without it the window opens under Xwayland, which works too. The window's
# layout is drawn for Arial's metrics, which Liberation Sans has; without it the window
# narrows the desktop's face to fit, which reads less well.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-wayland, fonts-liberation2")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
include(CPack)
