# Run by CPack after staging the files and before making the Debian package: compresses the manual
# pages with gzip -9n, as Debian packages carry them, removes the compiler's notes from the program
# as Debian's own packaging does, and registers the user guide with doc-base.
set(share "${CPACK_TEMPORARY_INSTALL_DIRECTORY}${CPACK_PACKAGING_INSTALL_PREFIX}/share")
file(GLOB pages "${share}/man/man*/*.[1-9]")
foreach(page IN LISTS pages)
  execute_process(COMMAND gzip -9nf ${page} RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "gzip failed on ${page}")
  endif()
endforeach()

if(CPACK_QUORV_STRIP)
  execute_process(COMMAND ${CPACK_QUORV_STRIP} --remove-section=.comment --remove-section=.note
                          --strip-unneeded "${CPACK_TEMPORARY_INSTALL_DIRECTORY}${CPACK_PACKAGING_INSTALL_PREFIX}/bin/quorv"
                  RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "strip failed on quorv")
  endif()
endif()

if(EXISTS "${share}/doc/quorvane/guide/index.html")
  set(guide "${CPACK_PACKAGING_INSTALL_PREFIX}/share/doc/quorvane/guide")
  file(WRITE "${share}/doc-base/quorvane"
"Document: quorvane
Title: Quorvane User Guide
Author: The Quorvane developers
Abstract: How to convert Paradox tables with the Quorvane wizard and the
 quorv command: output types, switches, filters and code pages.
Section: Data Management

Format: HTML
Index: ${guide}/index.html
Files: ${guide}/*.html
")
endif()
