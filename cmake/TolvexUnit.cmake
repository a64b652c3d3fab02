# tolvex_unit(NAME [SUBDIRS dir...]): the folder's sources (every .cpp that is
# not a *_test.cpp) become the object library tolvex_NAME; its *_test.cpp
# files become the test binary NAME_tests.
#
# Files whose name begins with "terminal_" are the ncurses-based terminal
# views and their tests: they are built, and ncurses linked to the unit, only
# when TOLVEX_TERMINAL_UI is on.
function(tolvex_unit name)
  cmake_parse_arguments(ARG "" "" "SUBDIRS" ${ARGN})
  set(globs ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  foreach(dir IN LISTS ARG_SUBDIRS)
    list(APPEND globs ${CMAKE_CURRENT_SOURCE_DIR}/${dir}/*.cpp)
  endforeach()
  file(GLOB all CONFIGURE_DEPENDS ${globs})
  set(terminal ${all})
  list(FILTER terminal INCLUDE REGEX "/terminal_[^/]*\\.cpp$")
  if(NOT TOLVEX_TERMINAL_UI)
    list(FILTER all EXCLUDE REGEX "/terminal_[^/]*\\.cpp$")
  endif()
  set(sources ${all})
  set(tests ${all})
  list(FILTER sources EXCLUDE REGEX "_test\\.cpp$")
  list(FILTER tests INCLUDE REGEX "_test\\.cpp$")
  if(NOT sources)
    set(sources ${PROJECT_SOURCE_DIR}/cmake/empty_unit.cpp)
  endif()
  add_library(tolvex_${name} OBJECT ${sources})
  if(TOLVEX_TERMINAL_UI AND terminal)
    target_include_directories(tolvex_${name} PUBLIC ${CURSES_INCLUDE_DIRS})
    target_link_libraries(tolvex_${name} PUBLIC ${CURSES_LIBRARIES})
  endif()
  if(TOLVEX_BUILD_TESTS AND tests)
    tolvex_add_test(${name}_tests ${tests} LIBS tolvex_core)
  endif()
endfunction()
