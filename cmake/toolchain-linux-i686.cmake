# The Linux host and add-ins built for 32-bit x86 (Debian's multilib GCC and
# the i386 libffi), with the arithmetic flags of the 32-bit Windows add-ins:
# their results can then be compared with the 64-bit build's on this machine,
# which runs no 32-bit Windows programs.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_C_COMPILER gcc)
set(CMAKE_CXX_COMPILER g++)
include(${CMAKE_CURRENT_LIST_DIR}/i686-arithmetic.cmake)
set(CMAKE_C_FLAGS_INIT "-m32")
set(CMAKE_CXX_FLAGS_INIT "-m32")
set(CMAKE_LIBRARY_ARCHITECTURE i386-linux-gnu)
set(ENV{PKG_CONFIG_LIBDIR} /usr/lib/i386-linux-gnu/pkgconfig:/usr/share/pkgconfig)
