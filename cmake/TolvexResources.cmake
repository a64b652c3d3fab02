# Dialog templates and bitmaps.
#
# tolvex_resource_script(SCRIPT.rc [BITMAPS name.xpm ...])
#
# Each bitmap is kept as reviewable text (XPM 3, see resources/xpm_to_bmp.py)
# and turned into <build>/resources/name.bmp on the build host, also when
# cross-compiling; the script names it as "name.bmp". On Windows the script
# is compiled into the object library tolvex_resources, whose objects reach
# the DLL and every program that links tolvex_core (see library/). On other
# systems only the bitmaps are converted, so that a broken one fails every
# build. Call it from resources/CMakeLists.txt.
find_package(Python3 REQUIRED COMPONENTS Interpreter)

set(TOLVEX_XPM_TO_BMP ${PROJECT_SOURCE_DIR}/resources/xpm_to_bmp.py)

function(tolvex_resource_script script)
  cmake_parse_arguments(ARG "" "" "BITMAPS" ${ARGN})
  set(bitmaps)
  foreach(xpm IN LISTS ARG_BITMAPS)
    get_filename_component(stem ${xpm} NAME_WE)
    set(bmp ${CMAKE_CURRENT_BINARY_DIR}/${stem}.bmp)
    add_custom_command(
      OUTPUT ${bmp}
      COMMAND Python3::Interpreter ${TOLVEX_XPM_TO_BMP} ${CMAKE_CURRENT_SOURCE_DIR}/${xpm} ${bmp}
      DEPENDS ${TOLVEX_XPM_TO_BMP} ${CMAKE_CURRENT_SOURCE_DIR}/${xpm}
      COMMENT "Converting ${xpm} to ${stem}.bmp"
      VERBATIM)
    list(APPEND bitmaps ${bmp})
  endforeach()
  if(WIN32)
    if(NOT TARGET tolvex_resources)
      add_library(tolvex_resources OBJECT)
      # windres looks for the files a script names in its include folders.
      target_include_directories(tolvex_resources PRIVATE ${CMAKE_CURRENT_BINARY_DIR})
    endif()
    set_source_files_properties(${script} PROPERTIES OBJECT_DEPENDS "${bitmaps}")
    target_sources(tolvex_resources PRIVATE ${script} ${bitmaps})
  else()
    if(NOT TARGET tolvex_bitmaps)
      add_custom_target(tolvex_bitmaps ALL)
    endif()
    get_filename_component(script_stem ${script} NAME_WE)
    add_custom_target(tolvex_bitmaps_${script_stem} DEPENDS ${bitmaps})
    add_dependencies(tolvex_bitmaps tolvex_bitmaps_${script_stem})
  endif()
endfunction()
