# armhf, with Debian's g++-arm-linux-gnueabihf; tests run under qemu-arm-static.
# cmake -S . -B build-armhf --toolchain cmake/toolchains/arm-linux-gnueabihf.cmake
set(cross_triplet arm-linux-gnueabihf)
set(cross_processor arm)
set(cross_qemu qemu-arm-static)
set(cross_debian_arch armhf)
include(${CMAKE_CURRENT_LIST_DIR}/debian-cross.cmake)
