# libFuzzer support (TOLVEX_FUZZ, clang only).
#
# The engine's object libraries are compiled with the fuzzer's coverage
# instrumentation (-fsanitize=fuzzer-no-link) and nothing else changes for
# them: the test binaries link the same objects, and the sanitizer runtime
# answers the coverage hooks there. Only the targets in fuzz/ link libFuzzer
# itself (-fsanitize=fuzzer), which brings its own main(). So one build
# serves the sanitizer test run and the fuzz run.
if(TOLVEX_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    message(FATAL_ERROR "TOLVEX_FUZZ needs clang (libFuzzer); this is ${CMAKE_CXX_COMPILER_ID}")
  endif()
  if(CMAKE_CROSSCOMPILING)
    message(FATAL_ERROR "TOLVEX_FUZZ is for native Linux builds")
  endif()
endif()

# tolvex_fuzz_instrument(TARGET): coverage for the fuzzer, when fuzzing.
function(tolvex_fuzz_instrument target)
  if(TOLVEX_FUZZ)
    target_compile_options(${target} PRIVATE -fsanitize=fuzzer-no-link)
  endif()
endfunction()
