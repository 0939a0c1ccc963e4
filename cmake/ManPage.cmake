# Writes the manual page quorv.1 from `quorv --help` and `--version` with help2man, the extra
# sections coming from an include file. Run as a script:
#   cmake -DHELP2MAN=... -DPROGRAM=... -DINCLUDE=... -DTAGS_SED=... -DOUTPUT=... [-DCHANGELOG=...]
#         -P ManPage.cmake
# The switches and output types of the page are the ones --help lists, so the two stay in step.
foreach(var HELP2MAN PROGRAM INCLUDE TAGS_SED OUTPUT)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "ManPage.cmake needs -D${var}=...")
  endif()
endforeach()

# --help never opens a window, but the program links Qt: keep it away from any display.
set(ENV{QT_QPA_PLATFORM} offscreen)
set(ENV{LC_ALL} C.UTF-8)
set(ENV{ASAN_OPTIONS} detect_leaks=0)

# The page's date is the date of the newest changelog entry (help2man takes it from
# SOURCE_DATE_EPOCH), so the same sources give the same page.
if(DEFINED CHANGELOG AND NOT DEFINED ENV{SOURCE_DATE_EPOCH})
  file(STRINGS ${CHANGELOG} trailer REGEX "^ -- .*>  " LIMIT_COUNT 1)
  string(REGEX REPLACE "^ -- .*>  " "" released "${trailer}")
  execute_process(COMMAND date -d "${released}" +%s OUTPUT_VARIABLE epoch RESULT_VARIABLE rc
                  OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
  if(rc EQUAL 0 AND epoch MATCHES "^[0-9]+$")
    set(ENV{SOURCE_DATE_EPOCH} ${epoch})
  endif()
endif()

execute_process(
  COMMAND ${HELP2MAN} --no-info --section=1 --manual=Quorvane --include=${INCLUDE}
          --output=${OUTPUT}.tmp ${PROGRAM}
  RESULT_VARIABLE rc ERROR_VARIABLE err)
if(NOT rc EQUAL 0)
  file(REMOVE ${OUTPUT}.tmp)
  message(FATAL_ERROR "help2man failed (${rc}): ${err}")
endif()

# The tags of the switch and type lists are set in bold (see the sed script).
execute_process(COMMAND sed -f ${TAGS_SED} INPUT_FILE ${OUTPUT}.tmp OUTPUT_FILE ${OUTPUT} RESULT_VARIABLE rc)
file(REMOVE ${OUTPUT}.tmp)
if(NOT rc EQUAL 0)
  file(REMOVE ${OUTPUT})
  message(FATAL_ERROR "sed failed on the manual page (${rc})")
endif()
