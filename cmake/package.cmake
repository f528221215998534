# The packaged build (KRVS_PER_USER_DATA): the program goes into the system's folders
# and keeps its files in the per-user data folder; `bash scripts/make-deb.sh` turns it
# into a Debian package with CPack. Include this after the KRVS target exists.
include(GNUInstallDirs)

set(KRVS_SHARE_DIR "${CMAKE_INSTALL_DATADIR}/krvs")
set(KRVS_APP_ID "example.quillmark.krvs")
set(_res "${CMAKE_CURRENT_LIST_DIR}/../src/util/resources")
set(_pkg "${CMAKE_CURRENT_LIST_DIR}/../packaging")

# The program finds the starter catalogue relative to its own folder, so that the
# installed tree works wherever its prefix lies.
file(RELATIVE_PATH _starter_rel "/p/${CMAKE_INSTALL_BINDIR}" "/p/${KRVS_SHARE_DIR}/KRVS.krv")
target_compile_definitions(KRVS PRIVATE KRVS_PER_USER_DATA=1
                                        KRVS_STARTER_CATALOGUE="${_starter_rel}")

# The starter catalogue: demo cards made at build time.
set(_starter "${CMAKE_BINARY_DIR}/starter/KRVS.krv")
add_custom_command(OUTPUT "${_starter}"
                   COMMAND ${CMAKE_COMMAND} -E make_directory "${CMAKE_BINARY_DIR}/starter"
                   COMMAND krvs-makedb --cards 500 --force "${_starter}"
                   DEPENDS krvs-makedb
                   COMMENT "Making the starter catalogue")
add_custom_target(krvs-starter ALL DEPENDS "${_starter}")

install(TARGETS KRVS krvs-makedb RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES "${_starter}" DESTINATION ${KRVS_SHARE_DIR})
install(FILES "${_res}/krvs.svg" DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
foreach(_size 16 32 48 64 256)
  install(FILES "${_res}/krvs-${_size}.png"
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${_size}x${_size}/apps
          RENAME krvs.png)
endforeach()
install(FILES "${_pkg}/${KRVS_APP_ID}.desktop" DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
configure_file("${_pkg}/${KRVS_APP_ID}.metainfo.xml.in"
               "${CMAKE_BINARY_DIR}/${KRVS_APP_ID}.metainfo.xml" @ONLY)
install(FILES "${CMAKE_BINARY_DIR}/${KRVS_APP_ID}.metainfo.xml"
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME krvs)
set(CPACK_PACKAGE_VENDOR "Quillmark")
set(CPACK_PACKAGE_CONTACT "Quillmark <support@quillmark.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Korvessa Database, a catalogue of the Korvessa card collection")
set(CPACK_PACKAGE_DESCRIPTION "\
Search the Korvessa cards by key words, series, category and ownership, mark the cards
you own, write your own comments, export the results, and back up, compact and
password-protect the catalogue. Each user's catalogue, settings and backups lie in
~/.local/share/KRVS, where the first start copies a starter catalogue.")
set(CPACK_PACKAGING_INSTALL_PREFIX "${CMAKE_INSTALL_PREFIX}")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://www.quillmark.example")
# The libraries come from dpkg-shlibdeps; the window-system plug-in is a separate package.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
include(CPack)
