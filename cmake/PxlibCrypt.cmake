# pxlib decrypts password-protected tables with px_decrypt_db_block / px_decrypt_mb_block, which the
# shared library does not export. The static archive from pxlib-dev has them in px_crypt.o; link that
# one object so the checked reader can decrypt blocks itself. Without it, encrypted tables are left to
# pxlib (ParadoxFile::needsPxlib()).
find_library(QUORV_PXLIB_STATIC NAMES libpx.a HINTS ${PXLIB_LIBRARY_DIRS} ${PXLIB_STATIC_LIBRARY_DIRS})

function(quorv_link_pxlib_crypt target)
  if(NOT QUORV_PXLIB_STATIC)
    message(STATUS "libpx.a not found: encrypted Paradox tables will be read through pxlib")
    return()
  endif()
  set(dir ${CMAKE_BINARY_DIR}/pxlib-crypt)
  file(MAKE_DIRECTORY ${dir})
  execute_process(COMMAND ${CMAKE_AR} x ${QUORV_PXLIB_STATIC} px_crypt.o
                  WORKING_DIRECTORY ${dir} RESULT_VARIABLE rc OUTPUT_QUIET ERROR_QUIET)
  if(NOT rc EQUAL 0 OR NOT EXISTS ${dir}/px_crypt.o)
    message(STATUS "px_crypt.o not in ${QUORV_PXLIB_STATIC}: encrypted Paradox tables will be read through pxlib")
    return()
  endif()
  message(STATUS "Decrypting Paradox tables with px_crypt.o from ${QUORV_PXLIB_STATIC}")
  target_sources(${target} PRIVATE ${dir}/px_crypt.o)
  set_source_files_properties(${dir}/px_crypt.o PROPERTIES EXTERNAL_OBJECT TRUE GENERATED TRUE)
  target_compile_definitions(${target} PRIVATE QUORV_HAVE_PX_CRYPT=1)
endfunction()
