# 32-bit Linux (i686) built with Debian's cross compiler.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_C_COMPILER i686-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER i686-linux-gnu-g++)
set(CMAKE_FIND_ROOT_PATH /usr/i686-linux-gnu)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# How the programs run here. Where the kernel starts 32-bit programs
# (scripts/kernel-runs-i686.sh; asked once per configure run, the answer
# kept in the environment for the compiler checks' own runs of this file),
# they start directly: linked against the cross compiler's loader and
# libraries by absolute path, they need no i386 packages of the machine.
# Where it cannot ("Exec format error"), ctest, test discovery and the tests
# that start child programs go through the user-mode emulator.
if(NOT DEFINED ENV{TOLVEX_I686_RUNS_HERE})
  execute_process(COMMAND ${CMAKE_CURRENT_LIST_DIR}/../scripts/kernel-runs-i686.sh -q
                  RESULT_VARIABLE runs_here_status)
  if(runs_here_status EQUAL 0)
    set(ENV{TOLVEX_I686_RUNS_HERE} 1)
  else()
    set(ENV{TOLVEX_I686_RUNS_HERE} 0)
  endif()
endif()
if("$ENV{TOLVEX_I686_RUNS_HERE}")
  set(TOLVEX_I686_RUNS_HERE ON)
  # DT_RPATH (not RUNPATH) so that the cross C library comes first for every
  # library of the process: a machine with the i386 compatibility libraries
  # (libc6-i386) lists /lib32 in its loader cache, and a process that mixes
  # the two builds of libc.so.6 hangs right after fork().
  # A plain variable, not the cache's _INIT value, so that a build folder
  # configured for the emulator before gets the flags too.
  set(CMAKE_EXE_LINKER_FLAGS
      "-Wl,--dynamic-linker=/usr/i686-linux-gnu/lib/ld-linux.so.2 -Wl,--disable-new-dtags,-rpath,/usr/i686-linux-gnu/lib")
else()
  set(TOLVEX_I686_RUNS_HERE OFF)
  # The libraries come from the cross compiler's folder. LD_LIBRARY_PATH
  # keeps them first, for the same reason as the run path above.
  set(CMAKE_CROSSCOMPILING_EMULATOR qemu-i386-static -L /usr/i686-linux-gnu
      -E LD_LIBRARY_PATH=/usr/i686-linux-gnu/lib)
endif()
