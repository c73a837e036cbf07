# Renders the manual page with groff and with man, with every warning turned on, and fails on any
# message either prints.
#   cmake -D PAGE=tintmaze.6 -P check_manual.cmake

# Runs a renderer; fails when it fails, prints anything on its error output or prints nothing.
function(render what)
    execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
    if(NOT rc EQUAL 0 OR NOT err STREQUAL "" OR out STREQUAL "")
        message(FATAL_ERROR "${what} (exit ${rc}) complained about ${PAGE}:\n${err}")
    endif()
    message(STATUS "${what}: no warnings")
endfunction()

foreach(tool groff man)
    find_program(${tool}_program ${tool})
    if(NOT ${tool}_program)
        message(FATAL_ERROR "${tool} not found: install groff and man-db")
    endif()
endforeach()

render("groff" ${groff_program} -ww -man -Tutf8 ${PAGE})
render("man" ${CMAKE_COMMAND} -E env LC_ALL=C.UTF-8 MANROFFSEQ= MANWIDTH=80
    ${man_program} --warnings -E UTF-8 -l ${PAGE})
