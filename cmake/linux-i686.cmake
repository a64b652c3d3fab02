# 32-bit Linux (i686) built with Debian's cross compiler. The programs run
# here under user-mode emulation: the kernel of these machines cannot start
# 32-bit programs itself ("Exec format error"), so ctest, test discovery and
# the tests that start child programs go through the emulator.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_C_COMPILER i686-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER i686-linux-gnu-g++)
set(CMAKE_FIND_ROOT_PATH /usr/i686-linux-gnu)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# The libraries come from the cross compiler's folder. LD_LIBRARY_PATH keeps
# them first: a machine with the i386 compatibility libraries (libc6-i386,
# pulled in by lib32gcc-s1) lists /lib32 in its loader cache, and the cross
# loader would take that other build of libc.so.6 from there, whose children
# then hang right after fork().
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-i386-static -L /usr/i686-linux-gnu
    -E LD_LIBRARY_PATH=/usr/i686-linux-gnu/lib)
