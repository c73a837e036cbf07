# Runs the picture generator twice into fresh folders and checks that both runs wrote the same
# bytes, so remade pictures only change when the drawing does.
#   cmake -D GENERATOR=... -D OUT=... -P check_generator.cmake
set(names logo.bmp gameover.bmp icon-16.png icon-22.png icon-24.png icon-32.png icon.png
    icon-64.png icon-128.png icon-256.png icon.svg pointer.bmp icon-16.bmp icon-22.bmp icon-24.bmp
    icon-32.bmp icon-48.bmp icon-64.bmp icon-128.bmp)
file(REMOVE_RECURSE "${OUT}")
foreach(run first second)
    execute_process(COMMAND "${GENERATOR}" "${OUT}/${run}" RESULT_VARIABLE rc
        OUTPUT_VARIABLE out ERROR_VARIABLE out)
    if(NOT rc EQUAL 0)
        message(FATAL_ERROR "generator failed (${rc}):\n${out}")
    endif()
endforeach()
foreach(name IN LISTS names)
    foreach(run first second)
        if(NOT EXISTS "${OUT}/${run}/${name}")
            message(FATAL_ERROR "generator did not write ${name}")
        endif()
    endforeach()
    execute_process(COMMAND "${CMAKE_COMMAND}" -E compare_files "${OUT}/first/${name}"
        "${OUT}/second/${name}" RESULT_VARIABLE differ)
    if(differ)
        message(FATAL_ERROR "${name} differs between two runs of the generator")
    endif()
endforeach()
