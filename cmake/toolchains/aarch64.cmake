# 64-bit ARM; plain char is unsigned: cmake -DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/aarch64.cmake
set(VANT_CROSS_TRIPLET aarch64-linux-gnu)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(VANT_QEMU_ARCH aarch64)
include(${CMAKE_CURRENT_LIST_DIR}/debian_cross.cmake)
