# 32-bit big-endian MIPS (o32): cmake -DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/mips.cmake
set(VANT_CROSS_TRIPLET mips-linux-gnu)
set(CMAKE_SYSTEM_PROCESSOR mips)
set(VANT_QEMU_ARCH mips)
include(${CMAKE_CURRENT_LIST_DIR}/debian_cross.cmake)
