# Fails when a file of the logic library includes anything beyond Qt Core, the C++ library and
# the system: a header of another Qt module (QtGui, QtWidgets, ...), written <QWidget> or
# <QtWidgets/QWidget>, or a file of the game that is not itself in the logic library.
# Linking the library with Qt6::Core alone does not catch such an include: every Qt module's
# headers lie under the one include folder Qt Core puts on the path.
#   cmake -DROOT=<source folder> -DQT_HEADERS=<Qt's include folder> -DFILES=<a|b|...>
#         [-DALLOWED=<a|b|...>] -P check_core_only.cmake
# FILES are the files to check (relative to ROOT, or absolute), ALLOWED the project files they
# may include (FILES when not given), relative to ROOT; both separated by "|".
cmake_minimum_required(VERSION 3.25)
string(REPLACE "|" ";" files "${FILES}")
if(DEFINED ALLOWED)
    string(REPLACE "|" ";" allowed "${ALLOWED}")
else()
    set(allowed ${files})
endif()
file(GLOB qt_modules LIST_DIRECTORIES true RELATIVE "${QT_HEADERS}" "${QT_HEADERS}/Qt*")

set(problems "")
foreach(file IN LISTS files)
    set(path "${file}")
    if(NOT IS_ABSOLUTE "${path}")
        set(path "${ROOT}/${file}")
    endif()
    file(STRINGS "${path}" lines REGEX "^[ \t]*#[ \t]*include")
    foreach(line IN LISTS lines)
        if(line MATCHES "#[ \t]*include[ \t]*\"([^\"]+)\"")
            set(header "${CMAKE_MATCH_1}")
            if(NOT header IN_LIST allowed AND EXISTS "${ROOT}/${header}")
                string(APPEND problems "  ${file}: \"${header}\" is not in the logic library\n")
            endif()
        elseif(line MATCHES "#[ \t]*include[ \t]*<([^>]+)>")
            set(header "${CMAKE_MATCH_1}")
            set(module "")
            string(REGEX MATCH "^Qt[A-Za-z]+" prefix "${header}")
            if(prefix AND IS_DIRECTORY "${QT_HEADERS}/${prefix}")
                set(module "${prefix}")  # <QtWidgets/QWidget>, or a module's own <QtWidgets>
            elseif(NOT EXISTS "${QT_HEADERS}/QtCore/${header}")
                foreach(candidate IN LISTS qt_modules)
                    if(EXISTS "${QT_HEADERS}/${candidate}/${header}")
                        set(module "${candidate}")
                        break()
                    endif()
                endforeach()
            endif()
            if(module AND NOT module STREQUAL "QtCore")
                string(APPEND problems "  ${file}: <${header}> is from ${module}\n")
            endif()
        endif()
    endforeach()
endforeach()
if(problems)
    message(FATAL_ERROR "The logic library links Qt Core only; these includes reach beyond it "
        "(move the file out of tintmaze_logic in CMakeLists.txt, or the include out of it):\n"
        "${problems}")
endif()
