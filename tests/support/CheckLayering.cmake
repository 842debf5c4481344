# Fails when a source or test file includes a header of a layer above its own. Layers run
# platform -> text -> editor -> window -> session, search, tools (side by side) -> chrome -> app.
# The display-free layers include no GUI module, and the window model includes no widget.
#
#   cmake -DROOT=<source dir> [-DQT_WIDGETS_DIR=<QtWidgets include dir>] -P CheckLayering.cmake

cmake_minimum_required(VERSION 3.25)

if(NOT ROOT)
  message(FATAL_ERROR "ROOT (the source directory) is required")
endif()

set(allowed_platform platform)
set(allowed_text platform text)
set(allowed_editor ${allowed_text} editor)
set(allowed_window ${allowed_editor} window)
set(allowed_session ${allowed_window} session search tools)
set(allowed_search ${allowed_session})
set(allowed_tools ${allowed_session})
set(allowed_chrome ${allowed_session} chrome)
set(allowed_app ${allowed_chrome} app)
set(project_folders platform text editor window session search tools chrome app)
set(display_free platform text)
set(widget_free platform text window)

# Tests follow their layer, except that the platform's tests share one link unit with the text
# engines (the localisation key check reads both).
set(allowed_tests_platform platform text)

# Every header QtWidgets provides, by the names it is included with (<QPushButton>, <qwidget.h>).
set(widget_headers "")
if(QT_WIDGETS_DIR AND IS_DIRECTORY ${QT_WIDGETS_DIR})
  file(GLOB widget_paths RELATIVE ${QT_WIDGETS_DIR} ${QT_WIDGETS_DIR}/Q* ${QT_WIDGETS_DIR}/q*.h)
  set(widget_headers ${widget_paths})
endif()

set(violations "")
foreach(layer ${project_folders})
  file(GLOB_RECURSE sources ${ROOT}/src/${layer}/*.h ${ROOT}/src/${layer}/*.cpp)
  file(GLOB_RECURSE tests ${ROOT}/tests/${layer}/*.h ${ROOT}/tests/${layer}/*.cpp)
  foreach(file ${sources} ${tests})
    set(allowed ${allowed_${layer}})
    set(is_test FALSE)
    if(file IN_LIST tests)
      set(is_test TRUE)
      if(DEFINED allowed_tests_${layer})
        set(allowed ${allowed_tests_${layer}})
      endif()
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
      # The model's own code stays free of widgets; its tests may drive real ones.
      if(layer IN_LIST widget_free AND NOT is_test)
        if(folder STREQUAL "QtWidgets" OR header IN_LIST widget_headers)
          list(APPEND violations "${file}: ${layer} includes the widget header ${header}")
        endif()
      endif()
    endforeach()
  endforeach()
endforeach()

if(violations)
  list(JOIN violations "\n" report)
  message(FATAL_ERROR "A lower layer includes a higher one:\n${report}")
endif()
message(STATUS "Every include points down the layers.")
