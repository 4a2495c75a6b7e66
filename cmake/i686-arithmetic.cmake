# 32-bit x86 arithmetic as on x86-64: SSE2 registers, each operation rounded
# to double, instead of the x87 unit's 80-bit registers, whose extra precision
# moved results such as TPeak by up to 1e-7 relative to the 64-bit add-ins.
# Every CPU that runs a supported 32-bit Excel has SSE2. Both 32-bit
# toolchains use these flags, so that the Linux build checks the Windows one.
# The project adds AMBREL_ARCH_OPTIONS to every compilation on each configure,
# so a build folder made before a change of these flags picks it up too.
set(AMBREL_ARCH_OPTIONS -msse2 -mfpmath=sse)
