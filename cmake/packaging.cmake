# Installation and the Debian package (cpack -G DEB in the build folder).
#
# The program, its word-processor helper and the pages it shows live together
# in one private folder: the program finds the helper, the welcome page and
# the guide beside its own executable. /usr/bin holds only a link to it.
if(VANTOLI_CORE_ONLY OR NOT TARGET vantoli)
  return()
endif()

include(GNUInstallDirs)
set(VANTOLI_INSTALL_APPDIR "${CMAKE_INSTALL_LIBDIR}/vantoli")

install(TARGETS vantoli RUNTIME DESTINATION ${VANTOLI_INSTALL_APPDIR})
if(TARGET vantoli-office)
  install(TARGETS vantoli-office RUNTIME DESTINATION ${VANTOLI_INSTALL_APPDIR})
endif()
install(DIRECTORY ${PROJECT_SOURCE_DIR}/resources/Welcome DESTINATION ${VANTOLI_INSTALL_APPDIR})
if(EXISTS ${PROJECT_SOURCE_DIR}/resources/Guide)
  install(DIRECTORY ${PROJECT_SOURCE_DIR}/resources/Guide DESTINATION ${VANTOLI_INSTALL_APPDIR})
endif()
# A relative link, so the package can be unpacked under any prefix.
file(RELATIVE_PATH vantoli_link_target "/${CMAKE_INSTALL_BINDIR}" "/${VANTOLI_INSTALL_APPDIR}/vantoli")
file(CREATE_LINK ${vantoli_link_target} ${CMAKE_CURRENT_BINARY_DIR}/vantoli-link SYMBOLIC)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/vantoli-link DESTINATION ${CMAKE_INSTALL_BINDIR} RENAME vantoli)
install(FILES ${PROJECT_SOURCE_DIR}/resources/desktop/vantoli.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${PROJECT_SOURCE_DIR}/resources/desktop/vantoli.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${PROJECT_SOURCE_DIR}/resources/desktop/org.vantoli.Vantoli.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vantoli)
set(CPACK_PACKAGE_VENDOR "Vantoli developers")
set(CPACK_PACKAGE_CONTACT "Vantoli developers <vantoli@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Desktop assistant for teachers who author in Moodle sites")
set(CPACK_PACKAGE_DESCRIPTION
    "Keeps a list of Moodle sites, opens and logs into them in tabs, and lets the teacher write a site's "
    "rich-text content in a real word-processor document whose pictures are uploaded on Done.")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.${PROJECT_VERSION_PATCH})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_SECTION education)
# The libraries the two executables link are found by dpkg-shlibdeps; what
# they load at run time is named here: the word processor (either build),
# the web engine's helper process and its data, the platform plugins, fonts.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "libreoffice-writer-nogui | libreoffice-writer, libreoffice-core-nogui | libreoffice-core, libqt6webenginecore6-bin, libqt6webengine6-data, qt6-qpa-plugins, fonts-dejavu-core")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "hunspell-en-us")
include(CPack)
