# `cpack -G DEB` in the build folder makes an installable Debian package of
# what `cmake --install` installs. Library dependencies are read off the
# executables by dpkg-shlibdeps, so the package asks for exactly the Qt,
# libzip, libpq, libcurl and keychain libraries the build linked.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tessaryn)
set(CPACK_PACKAGE_VENDOR "Morvik Software")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Desktop knowledge base for one person or a small group")
set(CPACK_PACKAGE_DESCRIPTION
    "Tessaryn keeps entries (title, keywords, comments, source, category) whose files are packed as one archive inside the entry's database row, organised in a category tree and bookmark sets and found again by keyword search.")
set(CPACK_PACKAGE_CONTACT "Morvik Software <tessaryn@morviksoftware.com>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The SQLite and PostgreSQL drivers are plugins, which dpkg-shlibdeps cannot
# see; the file-type icons come from the icon theme.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6sql6-sqlite, libqt6sql6-psql, adwaita-icon-theme | hicolor-icon-theme")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "gnome-keyring")
set(CPACK_STRIP_FILES ON)
include(CPack)
