# Test binaries: natively each GoogleTest case is its own ctest entry; a
# cross-built binary is one ctest entry run under Wine (each Wine start costs
# about a second) by scripts/wine-test.sh.
if(CMAKE_CROSSCOMPILING)
  if(NOT TARGET GTest::gtest_main)
    set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
    # GoogleTest 1.11 and later define the GTest:: names themselves.
    if(NOT TARGET GTest::gtest)
      add_library(GTest::gtest ALIAS gtest)
      add_library(GTest::gtest_main ALIAS gtest_main)
    endif()
  endif()
else()
  find_package(GTest REQUIRED)
  include(GoogleTest)
endif()

# tolvex_add_test(NAME source... [LIBS lib...])
function(tolvex_add_test name)
  cmake_parse_arguments(ARG "" "" "LIBS" ${ARGN})
  add_executable(${name} ${ARG_UNPARSED_ARGUMENTS})
  target_link_libraries(${name} PRIVATE tolvex_testing ${ARG_LIBS} GTest::gtest_main)
  # The tests' own code needs no heavy optimisation (the engine objects they
  # link keep the build's level); -O1 compiles the GoogleTest-laden files a
  # third faster and keeps the warnings that need data-flow analysis.
  target_compile_options(${name} PRIVATE $<$<CONFIG:Release>:-O1>)
  if(CMAKE_CROSSCOMPILING)
    add_test(NAME ${name}
             COMMAND ${PROJECT_SOURCE_DIR}/scripts/wine-test.sh $<TARGET_FILE:${name}>)
    # The runs share the prefix's drive letters S: to W: (wine-test.sh also
    # takes turns by itself); the first run creates the prefix.
    set_tests_properties(${name} PROPERTIES RESOURCE_LOCK wine_test_drives TIMEOUT 900)
  else()
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60)
  endif()
endfunction()
