# Test binaries, three ways:
#   - native builds: each GoogleTest case is its own ctest entry;
#   - Windows builds (MinGW): one ctest entry per binary, run under Wine by
#     scripts/wine-test.sh (each Wine start costs about a second);
#   - other cross builds (32-bit Linux): one ctest entry per binary, run
#     directly where the kernel starts them (cmake/linux-i686.cmake), else
#     through CMAKE_CROSSCOMPILING_EMULATOR. Each emulator start loads and
#     translates the binary again: with an entry per case the suite took
#     45 to 78 s on two cores, with an entry per binary under 10 s.
# Cross builds compile GoogleTest from Debian's sources in /usr/src/googletest.
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

if(CMAKE_CROSSCOMPILING AND NOT WIN32 AND NOT CMAKE_CROSSCOMPILING_EMULATOR
   AND NOT TOLVEX_I686_RUNS_HERE)
  message(FATAL_ERROR "a cross build for ${CMAKE_SYSTEM_NAME} needs CMAKE_CROSSCOMPILING_EMULATOR "
                      "to run its tests, where the kernel cannot start its programs "
                      "(or TOLVEX_BUILD_TESTS=OFF)")
endif()

# The words that start a program of this build from a test (a child program
# such as the tolvex command): the emulator's, or none. Tests receive them as
# TOLVEX_TEST_EMULATOR, words separated by spaces (testing/child_command.h).
if(CMAKE_CROSSCOMPILING AND NOT WIN32)
  list(JOIN CMAKE_CROSSCOMPILING_EMULATOR " " TOLVEX_TEST_EMULATOR)
else()
  set(TOLVEX_TEST_EMULATOR "")
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
  if(CMAKE_CROSSCOMPILING AND WIN32)
    add_test(NAME ${name}
             COMMAND ${PROJECT_SOURCE_DIR}/scripts/wine-test.sh $<TARGET_FILE:${name}>)
    # The runs share the prefix's drive letters S: to W: (wine-test.sh also
    # takes turns by itself); the first run creates the prefix.
    set_tests_properties(${name} PROPERTIES RESOURCE_LOCK wine_test_drives TIMEOUT 900)
  elseif(CMAKE_CROSSCOMPILING)
    # ctest puts the emulator, if any, in front of an executable target by
    # itself.
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES TIMEOUT 900)
  else()
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60)
  endif()
endfunction()
