# Installing the program as a Debian desktop program, and the .deb that CPack makes of it:
#   cmake --build build && (cd build && cpack -G DEB)
include(GNUInstallDirs)

set(PAPYRANT_APP_ID org.papyrant.Papyrant)
install(TARGETS papyrant RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${PROJECT_SOURCE_DIR}/packaging/${PAPYRANT_APP_ID}.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/${PAPYRANT_APP_ID}.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/${PAPYRANT_APP_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME papyrant)
set(CPACK_PACKAGE_VENDOR "Papyrant developers")
set(CPACK_PACKAGE_CONTACT "Papyrant developers <papyrant@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "澄川文献管家: collect and download open-access full texts from CiNii")
set(CPACK_PACKAGE_DESCRIPTION
    "Searches the CiNii literature service in an embedded browser, collects every entry that offers an open-access full-text PDF and downloads them through a queue that names the files from the article titles and gives each file its true extension.")
set(CPACK_PACKAGE_INSTALL_DIRECTORY papyrant)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
# The shared libraries the program links come from dpkg-shlibdeps; what Qt loads at run time
# (the platform plugins, the SQLite driver of the saved lists) and the Chinese font of the interface are named here.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, libqt6sql6-sqlite, fonts-noto-cjk | fonts-wqy-microhei")
include(CPack)
