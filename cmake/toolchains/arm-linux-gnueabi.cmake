# armel (ARMv5TE and later, soft-float calls), with Debian's g++-arm-linux-gnueabi;
# tests run under qemu-arm-static.
# cmake -S . -B build-armel --toolchain cmake/toolchains/arm-linux-gnueabi.cmake
set(cross_triplet arm-linux-gnueabi)
set(cross_processor arm)
set(cross_qemu qemu-arm-static)
set(cross_debian_arch armel)
include(${CMAKE_CURRENT_LIST_DIR}/debian-cross.cmake)
