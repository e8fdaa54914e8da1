# `make package`: a Debian package of the install (binaries, launcher entry, icons, AppStream description).
# Library dependencies are computed from the binaries by dpkg-shlibdeps; what the program loads by name,
# not by linking, is listed by hand: the fonts of the interface, Qt's X11 and Wayland platform plugins, and the
# icon theme the window's icon is looked up in.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vorlane)
set(CPACK_PACKAGE_VENDOR "Vorlane")
set(CPACK_PACKAGE_CONTACT "Vorlane developers <developers@vorlane.app>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Cull photos and videos from the keyboard")
# The long description's lines stay under 80 columns, as Debian asks.
# CPack puts the summary above it as the synopsis.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Vorlane walks a folder of photos and videos as a thumbnail grid. Press D on
what is not worth keeping: a small copy is made beside the originals, and
only when you ask are the originals moved to the Trash.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "qt6-qpa-plugins, qt6-wayland, qt6-translations-l10n, hicolor-icon-theme, fonts-noto-cjk, fonts-material-design-icons-iconfont")
set(CPACK_STRIP_FILES ON)
include(CPack)
