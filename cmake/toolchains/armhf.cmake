# 32-bit ARM, hard float; plain char is unsigned: cmake -DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/armhf.cmake
set(VANT_CROSS_TRIPLET arm-linux-gnueabihf)
set(CMAKE_SYSTEM_PROCESSOR arm)
set(VANT_QEMU_ARCH arm)
include(${CMAKE_CURRENT_LIST_DIR}/debian_cross.cmake)
