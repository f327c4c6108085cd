# Creates the data file with the maker when it is missing; an existing data file is never touched.
if(NOT EXISTS "${DATAFILE}")
    execute_process(COMMAND "${MAKER}" "${DATAFILE}" RESULT_VARIABLE result)
    if(NOT result EQUAL 0)
        message(FATAL_ERROR "Could not create the data file ${DATAFILE}")
    endif()
endif()
