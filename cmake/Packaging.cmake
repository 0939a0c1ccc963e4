# Installation in the GNU layout (cmake --install) and the Debian package (cpack -G DEB).
include(GNUInstallDirs)

# The wizard's Help button looks for the guide at <program folder>/../share/doc/quorvane/guide, so
# the documentation folder is fixed relative to bin/ rather than taken from CMAKE_INSTALL_DOCDIR.
set(QUORV_DOC_DIR share/doc/quorvane)
set(QUORV_PACKAGING_DIR ${PROJECT_SOURCE_DIR}/packaging)
set(QUORV_ICONS_DIR ${PROJECT_SOURCE_DIR}/resources/icons)
set(QUORV_PACKAGING_BINARY_DIR ${PROJECT_BINARY_DIR}/packaging)
file(MAKE_DIRECTORY ${QUORV_PACKAGING_BINARY_DIR})

# Debian hardening: read-only relocations, resolved at start.
target_link_options(quorv PRIVATE -Wl,-z,relro,-z,now)

install(TARGETS quorv RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${QUORV_PACKAGING_DIR}/quorvane.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${QUORV_PACKAGING_DIR}/quorvane-mime.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages
        RENAME quorvane.xml)

# The icons and the guide come with the wizard. They are OPTIONAL here so that an install without
# them still works; the packaging tests name any that are missing.
install(FILES ${QUORV_ICONS_DIR}/quorvane.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps
        OPTIONAL)
foreach(size 48 256)
  install(FILES ${QUORV_ICONS_DIR}/quorvane-${size}.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps RENAME quorvane.png OPTIONAL)
endforeach()
install(DIRECTORY ${PROJECT_SOURCE_DIR}/resources/guide/ DESTINATION ${QUORV_DOC_DIR}/guide OPTIONAL)

# The copyright file and the changelog (compressed the way Debian wants it: -9, no name or time).
set(QUORV_CHANGELOG_GZ ${QUORV_PACKAGING_BINARY_DIR}/changelog.gz)
add_custom_command(OUTPUT ${QUORV_CHANGELOG_GZ}
  COMMAND gzip -9n -c ${QUORV_PACKAGING_DIR}/changelog > ${QUORV_CHANGELOG_GZ}
  DEPENDS ${QUORV_PACKAGING_DIR}/changelog VERBATIM)
add_custom_target(quorv-changelog ALL DEPENDS ${QUORV_CHANGELOG_GZ})
install(FILES ${QUORV_PACKAGING_DIR}/copyright ${QUORV_CHANGELOG_GZ} DESTINATION ${QUORV_DOC_DIR})

# The manual page, from --help and the extra sections in quorv.h2m.
find_program(QUORV_HELP2MAN help2man)
if(QUORV_HELP2MAN)
  set(QUORV_MAN_PAGE ${QUORV_PACKAGING_BINARY_DIR}/quorv.1)
  add_custom_command(OUTPUT ${QUORV_MAN_PAGE}
    COMMAND ${CMAKE_COMMAND} -DHELP2MAN=${QUORV_HELP2MAN} -DPROGRAM=$<TARGET_FILE:quorv>
            -DINCLUDE=${QUORV_PACKAGING_DIR}/quorv.h2m -DTAGS_SED=${QUORV_PACKAGING_DIR}/man-tags.sed
            -DCHANGELOG=${QUORV_PACKAGING_DIR}/changelog -DOUTPUT=${QUORV_MAN_PAGE} -P ${PROJECT_SOURCE_DIR}/cmake/ManPage.cmake
    DEPENDS quorv ${QUORV_PACKAGING_DIR}/quorv.h2m ${QUORV_PACKAGING_DIR}/man-tags.sed ${QUORV_PACKAGING_DIR}/changelog
            ${PROJECT_SOURCE_DIR}/cmake/ManPage.cmake
    COMMENT "Writing the manual page quorv.1" VERBATIM)
  add_custom_target(quorv-man ALL DEPENDS ${QUORV_MAN_PAGE})
  install(FILES ${QUORV_MAN_PAGE} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
else()
  message(WARNING "help2man not found: the manual page quorv.1 is not built or installed")
endif()

# The Debian package: cmake --build <build> --target package, or scripts/make-deb.sh.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quorvane)
set(CPACK_PACKAGE_VENDOR "The Quorvane developers")
set(CPACK_PACKAGE_CONTACT "Quorvane developers <developers@quorvane.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "convert Paradox tables to CSV, SQL, Excel, dBase and other files")
set(CPACK_PACKAGE_DESCRIPTION
"Quorvane reads Paradox database tables (.db files with their .mb memo files,
Paradox 3 to 7, password-protected ones included) and writes their records
as CSV and delimited text, SQL scripts for PostgreSQL, MySQL, SQL Server,
Oracle and SQLite, dBase and FoxPro tables, and Excel workbooks.

Every value comes out exactly as stored: empty fields stay apart from zeros,
memo texts come out whole, and text keeps its code page or becomes UTF-8.
The program quorv converts from the command line, one table or a whole
folder at a time, or opens a desktop wizard.")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# xdg-open for /open and the guide; the Wayland platform plugin for the wizard (X11 is in Qt itself).
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils, qt6-wayland")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# Debian ships manual pages compressed and registers HTML documentation with doc-base: both are
# done to the staged files before the package is made.
set(CPACK_QUORV_STRIP ${CMAKE_STRIP})
set(CPACK_PRE_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/cmake/DebianStaging.cmake)
include(CPack)
