set(MINGW_ARCH i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
include(${CMAKE_CURRENT_LIST_DIR}/i686-arithmetic.cmake)
# 32-bit Windows promises only 4-byte stack alignment when Excel calls in;
# SSE code that spills to the stack needs 16, so functions that need it
# realign their own frame.
set(CMAKE_C_FLAGS_INIT "${AMBREL_I686_ARITHMETIC} -mstackrealign")
set(CMAKE_CXX_FLAGS_INIT "${AMBREL_I686_ARITHMETIC} -mstackrealign")
