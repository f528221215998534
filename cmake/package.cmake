# The packaged build (KRVS_PER_USER_DATA): the program goes into the system's folders
# and keeps its files in the per-user data folder; `bash scripts/make-deb.sh` turns it
# into a Debian package with CPack. Include this after the KRVS target exists.
include(GNUInstallDirs)

set(KRVS_SHARE_DIR "${CMAKE_INSTALL_DATADIR}/krvs")
set(KRVS_APP_ID "example.quillmark.krvs")
set(_res "${CMAKE_CURRENT_LIST_DIR}/../src/ui/resources")
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
# Stripped as Debian strips its programs: no symbols, and neither the compiler's
# .comment nor the .note section.
if(NOT CMAKE_STRIP)
  message(FATAL_ERROR "the packaged build needs strip")
endif()
foreach(_prog KRVS krvs-makedb)
  install(CODE "execute_process(COMMAND \"${CMAKE_STRIP}\" --remove-section=.comment
                                        --remove-section=.note
                                        \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/${_prog}\"
                                COMMAND_ERROR_IS_FATAL ANY)")
endforeach()
install(FILES "${_starter}" DESTINATION ${KRVS_SHARE_DIR})
install(FILES "${_res}/krvs.svg" DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
foreach(_size 16 32 48 64 256)
  install(FILES "${_res}/krvs-${_size}.png"
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${_size}x${_size}/apps
          RENAME krvs.png)
endforeach()
install(FILES "${_pkg}/${KRVS_APP_ID}.desktop" DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)

# The changelog kept in packaging/ (Debian's format for a native package) names the
# release: its first entry must be this version, and its date dates the manual pages
# and the AppStream release, so that the same sources give the same package.
set(_changelog "${_pkg}/changelog")
file(STRINGS "${_changelog}" _entries REGEX "^krvs \\(")
list(GET _entries 0 _first)
string(REGEX REPLACE "^krvs \\(([^)]*)\\).*" "\\1" _changelog_version "${_first}")
if(NOT _changelog_version STREQUAL PROJECT_VERSION)
  message(FATAL_ERROR "packaging/changelog begins with ${_changelog_version}, not the "
                      "project's version ${PROJECT_VERSION}: add an entry for it")
endif()
file(STRINGS "${_changelog}" _trailers REGEX "^ -- ")
list(GET _trailers 0 _trailer)
if(NOT _trailer MATCHES "  [A-Z][a-z][a-z], ([0-9][0-9]?) ([A-Z][a-z][a-z]) ([0-9][0-9][0-9][0-9]) ")
  message(FATAL_ERROR "packaging/changelog: no date in \"${_trailer}\"")
endif()
set(_day "${CMAKE_MATCH_1}")
set(_mon "${CMAKE_MATCH_2}")
set(_year "${CMAKE_MATCH_3}")
set(_months Jan January Feb February Mar March Apr April May May Jun June Jul July
            Aug August Sep September Oct October Nov November Dec December)
list(FIND _months "${_mon}" _at)
if(_at LESS 0)
  message(FATAL_ERROR "packaging/changelog: unknown month ${_mon}")
endif()
math(EXPR _month_number "${_at} / 2 + 1")
math(EXPR _at "${_at} + 1")
list(GET _months ${_at} _month_name)
string(LENGTH "${_day}" _len)
if(_len EQUAL 1)
  set(_day "0${_day}")
endif()
if(_month_number LESS 10)
  set(_month_number "0${_month_number}")
endif()
set(KRVS_RELEASE_DATE "${_year}-${_month_number}-${_day}")
set(KRVS_MAN_DATE "${_month_name} ${_year}")

# Debian wants the changelog and the manual pages compressed at the highest level and
# without the name and time stamp, so that each build gives the same bytes.
find_program(KRVS_GZIP gzip REQUIRED)
set(_gzip sh -c "\"$0\" -9nc \"$1\" >\"$2\"" "${KRVS_GZIP}")
set(_docdir "${CMAKE_INSTALL_DATADIR}/doc/krvs")
set(_gz_files "${CMAKE_BINARY_DIR}/doc/changelog.gz")
add_custom_command(OUTPUT "${CMAKE_BINARY_DIR}/doc/changelog.gz"
                   COMMAND ${_gzip} "${_changelog}" "${CMAKE_BINARY_DIR}/doc/changelog.gz"
                   DEPENDS "${_changelog}"
                   COMMENT "Compressing the changelog" VERBATIM)
file(MAKE_DIRECTORY "${CMAKE_BINARY_DIR}/doc" "${CMAKE_BINARY_DIR}/man")
install(FILES "${CMAKE_BINARY_DIR}/doc/changelog.gz" "${_pkg}/copyright" DESTINATION ${_docdir})

# The manual pages, written in roff with the version and date filled in.
foreach(_page KRVS.1 krvs-makedb.1)
  configure_file("${_pkg}/man/${_page}.in" "${CMAKE_BINARY_DIR}/man/${_page}" @ONLY)
  add_custom_command(OUTPUT "${CMAKE_BINARY_DIR}/man/${_page}.gz"
                     COMMAND ${_gzip} "${CMAKE_BINARY_DIR}/man/${_page}"
                             "${CMAKE_BINARY_DIR}/man/${_page}.gz"
                     DEPENDS "${CMAKE_BINARY_DIR}/man/${_page}"
                     COMMENT "Compressing the manual page ${_page}" VERBATIM)
  list(APPEND _gz_files "${CMAKE_BINARY_DIR}/man/${_page}.gz")
  install(FILES "${CMAKE_BINARY_DIR}/man/${_page}.gz" DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()
add_custom_target(krvs-docs ALL DEPENDS ${_gz_files})

# The AppStream file, its release dated as the changelog's.
configure_file("${_pkg}/${KRVS_APP_ID}.metainfo.xml.in"
               "${CMAKE_BINARY_DIR}/${KRVS_APP_ID}.metainfo.xml" @ONLY)
install(FILES "${CMAKE_BINARY_DIR}/${KRVS_APP_ID}.metainfo.xml"
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME krvs)
set(CPACK_PACKAGE_VENDOR "Quillmark")
set(CPACK_PACKAGE_CONTACT "Quillmark <support@quillmark.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Korvessa Database, a catalogue of the Korvessa card collection")
# Debian shows the description in 80 columns: its lines stay within 72 characters.
set(CPACK_PACKAGE_DESCRIPTION "\
Search the Korvessa cards by key words, series, category and ownership,
mark the cards you own, write your own comments, export the results, and
back up, compact and password-protect the catalogue. Each user's
catalogue, settings and backups lie in ~/.local/share/KRVS, where the
first start copies a starter catalogue.")
set(CPACK_PACKAGING_INSTALL_PREFIX "${CMAKE_INSTALL_PREFIX}")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://www.quillmark.example")
# The libraries come from dpkg-shlibdeps; the window-system plug-in is a separate package.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
include(CPack)
