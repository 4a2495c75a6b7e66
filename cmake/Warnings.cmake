# Every target of ours gets the same warnings, and results must not depend
# on whether the compiler fuses a multiply and an add.
function(ambrel_target_defaults target)
  if(CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -ffp-contract=off)
  endif()
endfunction()
