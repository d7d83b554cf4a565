# cmake -DREADELF=... -DPROGRAM=... -P CheckNoWidgets.cmake: fails when the
# program was linked with Qt Widgets or Qt Gui.
execute_process(COMMAND ${READELF} -d ${PROGRAM} OUTPUT_VARIABLE DYNAMIC RESULT_VARIABLE RESULT)
if(NOT RESULT EQUAL 0)
  message(FATAL_ERROR "readelf could not read ${PROGRAM}")
endif()
# Qt Core is always there; without it the listing was not what we think.
if(NOT DYNAMIC MATCHES "NEEDED[^\n]*libQt6Core")
  message(FATAL_ERROR "${PROGRAM} lists no Qt Core; cannot tell what it links:\n${DYNAMIC}")
endif()
string(REGEX MATCHALL "libQt6(Widgets|Gui)[^]\n]*" VISUAL "${DYNAMIC}")
if(VISUAL)
  message(FATAL_ERROR "${PROGRAM} links ${VISUAL}: a non-visual library pulls in the GUI")
endif()
message(STATUS "${PROGRAM}: no Qt Widgets, no Qt Gui")
