# armhf, a static executable linked against musl (Debian's musl-dev:armhf);
# tests run under qemu-arm-static.
# cmake -S . -B build-musl-armhf --toolchain cmake/toolchains/arm-linux-musleabihf.cmake
include(${CMAKE_CURRENT_LIST_DIR}/arm-linux-gnueabihf.cmake)
set(musl_triplet arm-linux-musleabihf)
set(musl_arch armhf)
include(${CMAKE_CURRENT_LIST_DIR}/musl.cmake)
