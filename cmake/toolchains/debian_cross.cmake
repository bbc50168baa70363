# Cross build with one of Debian's cross toolchains (g++-<triplet>). The
# per-target files set VANT_CROSS_TRIPLET, CMAKE_SYSTEM_PROCESSOR and
# VANT_QEMU_ARCH, then include this one.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_C_COMPILER ${VANT_CROSS_TRIPLET}-gcc)
set(CMAKE_CXX_COMPILER ${VANT_CROSS_TRIPLET}-g++)

# Libraries and headers come from the target's sysroot only; programs (ninja,
# qemu) from the build machine.
set(VANT_CROSS_SYSROOT /usr/${VANT_CROSS_TRIPLET})
set(CMAKE_FIND_ROOT_PATH ${VANT_CROSS_SYSROOT})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Test discovery and ctest run target programs under user-mode emulation. The
# programs the tests start themselves (the daemon, the emulator) are run by the
# kernel through binfmt_misc, which scripts/install-cross-deps registers.
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-${VANT_QEMU_ARCH}-static -L ${VANT_CROSS_SYSROOT})
