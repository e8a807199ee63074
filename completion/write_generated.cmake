# cmake -DPROGRAM=... -DWHAT=... -DOUTPUT=... -P write_generated.cmake: what PROGRAM --generate
# WHAT writes, into OUTPUT; fails where the program does.
get_filename_component(folder ${OUTPUT} DIRECTORY)
file(MAKE_DIRECTORY ${folder})
execute_process(COMMAND ${PROGRAM} --generate ${WHAT} OUTPUT_FILE ${OUTPUT} RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${PROGRAM} --generate ${WHAT} failed: ${status}")
endif()
