# The version of the build is the one of the Debian changelog's newest entry, of the newest
# release in the AppStream metainfo and of the manual page's footer.
#   cmake -D VERSION=... -D SOURCE_DIR=... -P check_versions.cmake

# Reads the first match of REGEX's group 1 in FILE into OUT; fails when there is none.
function(first_match out file regex)
    file(STRINGS "${file}" lines REGEX "${regex}")
    if(NOT lines)
        message(FATAL_ERROR "no version found in ${file}")
    endif()
    list(GET lines 0 line)
    string(REGEX MATCH "${regex}" found "${line}")
    set(${out} "${CMAKE_MATCH_1}" PARENT_SCOPE)
endfunction()

first_match(changelog "${SOURCE_DIR}/debian/changelog" "^tintmaze \\(([^)]+)\\)")
first_match(metainfo "${SOURCE_DIR}/packaging/io.github.tintmaze.Tintmaze.metainfo.xml"
    "<release version=\"([^\"]+)\"")
first_match(manual "${SOURCE_DIR}/packaging/tintmaze.6" "^\\.TH .*\"Tintmaze ([^\"]+)\"")
foreach(place changelog metainfo manual)
    if(NOT "${${place}}" STREQUAL "${VERSION}")
        message(FATAL_ERROR "the ${place} says ${${place}}, the build is ${VERSION}")
    endif()
endforeach()
message(STATUS "changelog, metainfo and manual page all at ${VERSION}")
