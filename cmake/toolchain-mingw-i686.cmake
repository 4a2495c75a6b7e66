set(MINGW_ARCH i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
include(${CMAKE_CURRENT_LIST_DIR}/i686-arithmetic.cmake)
# 32-bit Windows promises only 4-byte stack alignment when Excel calls in;
# SSE code that spills to the stack needs 16, so functions that need it
# realign their own frame.
list(APPEND AMBREL_ARCH_OPTIONS -mstackrealign)
