# Installs the build into a fresh prefix, checks that the desktop files are where a desktop looks
# for them, runs the freedesktop and AppStream validators on the installed copies, and asks the
# installed program for its help and version.
#   cmake -D BUILD_DIR=... -D PREFIX=... -D VERSION=... -D DATADIR=... -D GAMESDIR=...
#         -D MANDIR=... -D LAUNCHER=... -D LAUNCHER_PATH=... -D ICON_SIZES=...
#         -D DESKTOP_FILE_VALIDATE=... -D APPSTREAMCLI=... -P check_install.cmake

# Runs a command and stops with its output when it fails.
function(run_or_fail what)
    execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
    if(NOT rc EQUAL 0)
        message(FATAL_ERROR "${what} failed (${rc}):\n${out}")
    endif()
    message(STATUS "${what}: ok\n${out}")
endfunction()

foreach(tool DESKTOP_FILE_VALIDATE APPSTREAMCLI)
    if(NOT ${tool} OR NOT EXISTS "${${tool}}")
        message(FATAL_ERROR "${tool} not found: install desktop-file-utils and appstream")
    endif()
endforeach()

file(REMOVE_RECURSE "${PREFIX}")
run_or_fail("install" "${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix "${PREFIX}")

set(desktop "${PREFIX}/${DATADIR}/applications/tintmaze.desktop")
set(metainfo "${PREFIX}/${DATADIR}/metainfo/io.github.tintmaze.Tintmaze.metainfo.xml")
foreach(file "${PREFIX}/${GAMESDIR}/tintmaze" "${PREFIX}/${LAUNCHER}" "${desktop}" "${metainfo}"
        "${PREFIX}/${MANDIR}/man6/tintmaze.6")
    if(NOT EXISTS "${file}")
        message(FATAL_ERROR "not installed: ${file}")
    endif()
endforeach()

# Every icon is a PNG whose header gives the size of its folder.
foreach(size IN LISTS ICON_SIZES)
    set(icon "${PREFIX}/${DATADIR}/icons/hicolor/${size}x${size}/apps/tintmaze.png")
    if(NOT EXISTS "${icon}")
        message(FATAL_ERROR "not installed: ${icon}")
    endif()
    file(READ "${icon}" header LIMIT 24 HEX)
    math(EXPR expected "${size}" OUTPUT_FORMAT HEXADECIMAL)
    string(REGEX REPLACE "^0x" "" expected "${expected}")
    string(LENGTH "${expected}" digits)
    math(EXPR pad "8 - ${digits}")
    string(REPEAT "0" ${pad} zeros)
    set(dimension "${zeros}${expected}")
    if(NOT header STREQUAL "89504e470d0a1a0a0000000d49484452${dimension}${dimension}")
        message(FATAL_ERROR "${icon} is not a ${size}x${size} PNG (header ${header})")
    endif()
endforeach()

# The scalable icon is an SVG drawing.
set(icon "${PREFIX}/${DATADIR}/icons/hicolor/scalable/apps/tintmaze.svg")
if(NOT EXISTS "${icon}")
    message(FATAL_ERROR "not installed: ${icon}")
endif()
file(READ "${icon}" header LIMIT 5)
if(NOT header MATCHES "^<svg ")
    message(FATAL_ERROR "${icon} is not an SVG drawing")
endif()

# -h is --help.
execute_process(COMMAND "${PREFIX}/${GAMESDIR}/tintmaze" -h TIMEOUT 20 RESULT_VARIABLE rc
    OUTPUT_VARIABLE out)
if(NOT rc STREQUAL "0" OR NOT out MATCHES "^Usage: tintmaze ")
    message(FATAL_ERROR "tintmaze -h (exit ${rc}) printed:\n${out}")
endif()
# The command line as a terminal without a display shows it, row by row: the arguments, the exit
# status and the one line on the standard error, nothing on the standard output and no window.
# An argument the game does not take, or a Qt option without its value, gives the usage and
# status 2; Qt's options are taken, and a start that finds no display names the one it tried and
# ends with status 1 (not Qt's abort).
foreach(row
        "--level;3|2|^tintmaze: unknown argument '--level'; usage: [^\n]*\n$"
        "-platform|2|^tintmaze: no value after '-platform'; usage: [^\n]*\n$"
        "|1|^tintmaze: cannot connect to an X display \\(DISPLAY is not set\\)\n$"
        "-display;:5;-qwindowgeometry;640x480|1|^tintmaze: cannot connect to X display \":5\"\n$"
        "--platform;wayland;-reverse|1|^tintmaze: cannot connect to Wayland display \"nowhere\"\n$")
    string(REGEX MATCH "^([^|]*)\\|([^|]*)\\|(.*)$" parts "${row}")
    set(arguments "${CMAKE_MATCH_1}")
    set(status "${CMAKE_MATCH_2}")
    set(expected "${CMAKE_MATCH_3}")
    execute_process(COMMAND "${CMAKE_COMMAND}" -E env --unset=DISPLAY --unset=QT_QPA_PLATFORM
            --unset=XDG_SESSION_TYPE WAYLAND_DISPLAY=nowhere XDG_RUNTIME_DIR=${PREFIX}
            "${PREFIX}/${GAMESDIR}/tintmaze" ${arguments}
        TIMEOUT 20 RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
    if(NOT rc STREQUAL status OR NOT out STREQUAL "" OR NOT err MATCHES "${expected}")
        message(FATAL_ERROR "tintmaze ${arguments} (exit ${rc}) printed:\n${out}${err}")
    endif()
endforeach()

run_or_fail("desktop-file-validate" "${DESKTOP_FILE_VALIDATE}" "${desktop}")
run_or_fail("appstreamcli validate" "${APPSTREAMCLI}" validate --pedantic --no-net "${metainfo}")

# The menu entry starts the installed launcher.
file(STRINGS "${desktop}" exec REGEX "^Exec=")
if(NOT exec STREQUAL "Exec=${LAUNCHER_PATH}")
    message(FATAL_ERROR "the menu entry does not start the launcher: ${exec}")
endif()

# The installed program answers each option of its command line without a display (where the game
# itself would abort), and its manual page lists the option: option, then what it prints.
file(READ "${PREFIX}/${MANDIR}/man6/tintmaze.6" manual)
foreach(row "help:^Usage: tintmaze .*--version" "version:^Tintmaze ${VERSION}\n$")
    string(REGEX MATCH "^[^:]+" option "${row}")
    string(REGEX REPLACE "^[^:]+:" "" expected "${row}")
    execute_process(COMMAND "${CMAKE_COMMAND}" -E env --unset=DISPLAY --unset=WAYLAND_DISPLAY
            QT_QPA_PLATFORM=xcb "${PREFIX}/${GAMESDIR}/tintmaze" --${option}
        TIMEOUT 20 RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
    if(NOT rc STREQUAL "0" OR NOT out MATCHES "${expected}" OR NOT err STREQUAL "")
        message(FATAL_ERROR "tintmaze --${option} (exit ${rc}) printed:\n${out}${err}")
    endif()
    string(REGEX MATCH "\n\\.BR? [^\n]*\\\\-\\\\-${option}\n" listed "${manual}")
    if(NOT listed)
        message(FATAL_ERROR "the manual page does not list --${option}")
    endif()
endforeach()
