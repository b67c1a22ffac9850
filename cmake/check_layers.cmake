# Fails when a folder of the system includes a layer it may not see; the
# rules are the layer picture of docs/ARCHITECTURE.md. Quoted includes
# without a folder are the folder's own files; "ZanScript_h.h" is the
# interface source (interfaces/). Run as a test:
#   cmake -DROOT=<source dir> -P check_layers.cmake
cmake_minimum_required(VERSION 3.25)
set(allowed_base "base")
set(allowed_framework "base;framework")
set(allowed_textio "base;textio")
set(allowed_dictionary "base;framework;interfaces;dictionary")
set(allowed_script "base;framework;interfaces;textio;dictionary;script")
set(allowed_scriptload "base;framework;interfaces;textio;script;scriptload")
set(allowed_server "base;framework;interfaces;textio;dictionary;script;scriptload;server")
set(allowed_tools "base;interfaces;tools")

set(bad "")
foreach(folder base framework textio dictionary script scriptload server tools)
  file(GLOB_RECURSE files ${ROOT}/${folder}/*.h ${ROOT}/${folder}/*.cpp)
  foreach(file IN LISTS files)
    file(STRINGS ${file} includes REGEX "^#include \"")
    foreach(line IN LISTS includes)
      string(REGEX MATCH "\"([^\"]+)\"" _ "${line}")
      set(target "${CMAKE_MATCH_1}")
      if(target MATCHES "^zanole/")
        continue()  # the platform: every layer sees it
      elseif(target STREQUAL "ZanScript_h.h")
        set(layer interfaces)
      elseif(target MATCHES "^([a-z]+)/")
        set(layer "${CMAKE_MATCH_1}")
      else()
        continue()  # the folder's own file
      endif()
      if(NOT layer IN_LIST allowed_${folder})
        file(RELATIVE_PATH name ${ROOT} ${file})
        list(APPEND bad "${name} includes ${target}")
      endif()
    endforeach()
  endforeach()
endforeach()
if(bad)
  list(JOIN bad "\n  " text)
  message(FATAL_ERROR "includes across the layer rules:\n  ${text}")
endif()
message(STATUS "every include keeps to the layer rules")
