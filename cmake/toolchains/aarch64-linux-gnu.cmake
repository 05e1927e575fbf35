# arm64, with Debian's g++-aarch64-linux-gnu; tests run under qemu-aarch64-static.
# cmake -S . -B build-arm64 --toolchain cmake/toolchains/aarch64-linux-gnu.cmake
set(cross_triplet aarch64-linux-gnu)
set(cross_processor aarch64)
set(cross_qemu qemu-aarch64-static)
set(cross_debian_arch arm64)
include(${CMAKE_CURRENT_LIST_DIR}/debian-cross.cmake)
