# Fails when a source or test file includes a header of a layer above its own. Layers run
# platform -> text -> editor -> window -> app; session, search and tools sit beside the window
# and below the app. The display-free layers include no widget or GUI module either.
#
#   cmake -DROOT=<source dir> -P CheckLayering.cmake

cmake_minimum_required(VERSION 3.25)

if(NOT ROOT)
  message(FATAL_ERROR "ROOT (the source directory) is required")
endif()

set(allowed_platform platform)
set(allowed_text platform text)
set(allowed_editor platform text editor)
set(allowed_window platform text editor window session search tools)
set(allowed_session platform text editor window session search tools)
set(allowed_search ${allowed_session})
set(allowed_tools ${allowed_session})
set(project_folders platform text editor window session search tools app)
set(display_free platform text)

# Tests follow their layer, except that the platform's tests share one link unit with the text
# engines (the localisation key check reads both).
set(allowed_tests_platform platform text)

set(violations "")
foreach(layer platform text editor window session search tools)
  file(GLOB_RECURSE sources ${ROOT}/src/${layer}/*.h ${ROOT}/src/${layer}/*.cpp)
  file(GLOB_RECURSE tests ${ROOT}/tests/${layer}/*.h ${ROOT}/tests/${layer}/*.cpp)
  foreach(file ${sources} ${tests})
    set(allowed ${allowed_${layer}})
    if(file IN_LIST tests AND DEFINED allowed_tests_${layer})
      set(allowed ${allowed_tests_${layer}})
    endif()
    file(STRINGS ${file} includes REGEX "^[ \t]*#[ \t]*include[ \t]*[<\"]")
    foreach(line ${includes})
      string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*[<\"]([^>\"]*)[>\"].*$" "\\1" header "${line}")
      string(REGEX MATCH "^[^/]+" folder "${header}")
      if(folder IN_LIST project_folders AND NOT folder IN_LIST allowed)
        list(APPEND violations "${file}: ${layer} includes ${header}")
      endif()
      if(layer IN_LIST display_free AND folder MATCHES "^Qt(Gui|Widgets|PrintSupport)$")
        list(APPEND violations "${file}: ${layer} includes ${header}")
      endif()
    endforeach()
  endforeach()
endforeach()

if(violations)
  list(JOIN violations "\n" report)
  message(FATAL_ERROR "A lower layer includes a higher one:\n${report}")
endif()
message(STATUS "Every include points down the layers.")
