# `cpack -G DEB` in a build folder makes kestrune_VERSION_ARCH.deb for Debian 12.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kestrune)
set(CPACK_PACKAGE_VENDOR "The Kestrune developers")
set(CPACK_PACKAGE_CONTACT "The Kestrune developers <packages@kestrune.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "clear files out of folders by stored rules")
set(CPACK_PACKAGE_DESCRIPTION
    "Kestrune keeps a tree of tasks, each naming a source folder, a target\n\
folder, a search depth, an action (move, copy or delete) and file patterns.\n\
A run selects the matching files and moves, copies or deletes them, never\n\
overwriting a file. The program lives in the notification area;\n\
kestrune-cli runs tasks from scripts.")
set(CPACK_PACKAGE_INSTALL_DIRECTORY kestrune)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://${KESTRUNE_WEB_HOST}/")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt loads these at run time, so the linked libraries do not name them: the SVG image and
# icon plugins that draw the toolbar and the icons, and the platform plugins.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6svg6, qt6-qpa-plugins")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

include(CPack)
