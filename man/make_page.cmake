# cmake -DPROGRAM=name -DEXE=path -DIN=page.1.in -DOUT=page.1 -P make_page.cmake
# Writes OUT from IN with the line @HELP@ replaced by what "EXE --help" prints (the
# program's path in it shortened to its name), set as literal roff text, and OUT.gz
# beside it.
execute_process(COMMAND ${EXE} --help OUTPUT_VARIABLE help RESULT_VARIABLE status)
if(NOT status EQUAL 0 OR help STREQUAL "")
  message(FATAL_ERROR "${PROGRAM} --help ended with status ${status}")
endif()
string(REPLACE "${EXE}" "${PROGRAM}" help "${help}")
string(REPLACE "\\" "\\e" help "${help}")
string(REPLACE "-" "\\-" help "${help}")
# A line that starts with a dot or an apostrophe would be read as a request.
string(REGEX REPLACE "(^|\n)([.'])" "\\1\\\\&\\2" help "${help}")
if(NOT help MATCHES "\n$")
  string(APPEND help "\n")
endif()

file(READ ${IN} page)
if(NOT page MATCHES "\n@HELP@\n")
  message(FATAL_ERROR "${IN} has no line @HELP@")
endif()
# Tab stops every eight columns, as on the terminal that --help was written for.
set(stops "")
foreach(column RANGE 8 160 8)
  string(APPEND stops " ${column}n")
endforeach()
string(REPLACE "\n@HELP@\n" "\n.nf\n.ta${stops}\n${help}.fi\n.DT\n" page "${page}")
file(WRITE ${OUT}.tmp "${page}")
file(RENAME ${OUT}.tmp ${OUT})
execute_process(COMMAND gzip -9 -n -c ${OUT} OUTPUT_FILE ${OUT}.gz RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  file(REMOVE ${OUT}.gz)
  message(FATAL_ERROR "gzip ${OUT} failed")
endif()
