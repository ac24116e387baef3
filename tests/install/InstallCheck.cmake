# Installs the build into a scratch prefix and checks that everything lands where a
# desktop and udev look for it, and that the installed program takes its definition
# files from share/mirelo of that prefix without being told.
# Call: cmake -DBUILD=<build dir> -DPREFIX=<scratch prefix> -P InstallCheck.cmake
cmake_minimum_required(VERSION 3.22)
file(REMOVE_RECURSE "${PREFIX}")
execute_process(COMMAND "${CMAKE_COMMAND}" --install "${BUILD}" --prefix "${PREFIX}"
                RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "cmake --install failed (${rc}):\n${out}\n${err}")
endif()

set(expected
  bin/mirelo bin/mirelo-cli bin/mirelo-sim
  "share/mirelo/ZPA/Z202 PA004-DE.ZPA" share/mirelo/ZPA/101upgrate.ini
  share/mirelo/ini/eng.ini share/mirelo/samples/demo.202
  share/applications/de.baldren.Mirelo.desktop
  share/icons/hicolor/scalable/apps/de.baldren.Mirelo.svg
  lib/udev/rules.d/70-mirelo-serial.rules)
foreach(f IN LISTS expected)
  if(NOT EXISTS "${PREFIX}/${f}")
    message(FATAL_ERROR "not installed: ${f}")
  endif()
endforeach()
# The desktop entry names the installed icon.
file(STRINGS "${PREFIX}/share/applications/de.baldren.Mirelo.desktop" icon REGEX "^Icon=")
if(NOT icon STREQUAL "Icon=de.baldren.Mirelo")
  message(FATAL_ERROR "desktop entry names another icon: ${icon}")
endif()

execute_process(COMMAND "${CMAKE_COMMAND}" -E env --unset=MIRELO_DATA_DIR
                        "${PREFIX}/bin/mirelo-cli" info "${PREFIX}/share/mirelo/samples/demo.202"
                RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
string(FIND "${out}" "Definition: ${PREFIX}/share/mirelo/ZPA/Z202 PA004-DE.ZPA" at)
if(NOT rc EQUAL 0 OR at EQUAL -1)
  message(FATAL_ERROR "installed mirelo-cli did not use its own data folder (${rc}):\n${out}\n${err}")
endif()
file(REMOVE_RECURSE "${PREFIX}")
