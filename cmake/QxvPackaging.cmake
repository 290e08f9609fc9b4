# The Debian packages, one per install component (see QxvInstall.cmake), made by
# `cpack -G DEB` in a build configured for /usr (tools/build-packages does both):
#   quillomar          the command line tool, the stub, man pages and completions;
#   quillomar-desktop  quillomar-gui and the desktop's menus, opener and icons.
# Their library dependencies are computed by dpkg-shlibdeps from the programs they carry.
include(${CMAKE_CURRENT_LIST_DIR}/QxvInstall.cmake)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quillomar)
set(CPACK_PACKAGE_VENDOR "Quillomar developers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS ${CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS})
set(CPACK_COMPONENTS_ALL tool desktop)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SOURCE quillomar)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Quillomar developers <quillomar@example.org>")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)

set(CPACK_DEBIAN_TOOL_PACKAGE_NAME quillomar)
set(CPACK_DEBIAN_TOOL_DESCRIPTION "password file encryption in place (AES-128-CBC)
Quillomar encrypts files in place under a password into containers with the
extension .qxv, decrypts them back, tells what a file is, and turns an
encrypted file into a self-decrypting program that needs nothing installed.
.
This package holds the command line tool quillomar and the self-decrypting
stub qxvsd.")
# A self-decrypting file double-clicked on a desktop opens itself in a terminal emulator.
set(CPACK_DEBIAN_TOOL_PACKAGE_SUGGESTS "x-terminal-emulator")

set(CPACK_DEBIAN_DESKTOP_PACKAGE_NAME quillomar-desktop)
set(CPACK_DEBIAN_DESKTOP_DESCRIPTION "password file encryption in the file manager's menu
Quillomar encrypts files in place under a password into containers with the
extension .qxv and decrypts them back.
.
This package adds a Quillomar submenu with Encrypt, Decrypt and Info to GNOME
Files (with python3-nautilus), Nemo and Dolphin, a setup command for Thunar's
custom actions, the program quillomar-gui that asks in windows, and decrypts
a .qxv file that is opened.")
set(CPACK_DEBIAN_DESKTOP_PACKAGE_DEPENDS "quillomar (= ${PROJECT_VERSION})")
set(CPACK_DEBIAN_DESKTOP_PACKAGE_SUGGESTS "python3-nautilus")

include(CPack)
