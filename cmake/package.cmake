# `cpack -G DEB` in a build folder makes quorbel-media-mixer_<version>_<arch>.deb from the install
# rules; dpkg-shlibdeps finds the runtime libraries' packages.
set(CPACK_PACKAGE_NAME quorbel-media-mixer)
set(CPACK_PACKAGE_VENDOR "Quorbel Media Mixer developers")
set(CPACK_PACKAGE_CONTACT "Quorbel Media Mixer developers <quorbel@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "desktop jukebox for parties with guest requests from phones")
set(CPACK_PACKAGE_DESCRIPTION
  "Two decks play a queue of MP3 and WAV files with crossfades; guests on the local network\n\
request tracks from a guest pool through pages the program serves on port 7777.")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_GENERATOR DEB)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt finds its window-system plugin at run time; shlibdeps cannot see that.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
# Qt's own dialogs and boxes in German and French.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-dejavu-core, qt6-translations-l10n")
include(CPack)
