# arm64, a static executable linked against musl (Debian's musl-dev:arm64);
# tests run under qemu-aarch64-static.
# cmake -S . -B build-musl-arm64 --toolchain cmake/toolchains/aarch64-linux-musl.cmake
include(${CMAKE_CURRENT_LIST_DIR}/aarch64-linux-gnu.cmake)
set(musl_triplet aarch64-linux-musl)
set(musl_arch aarch64)
include(${CMAKE_CURRENT_LIST_DIR}/musl.cmake)
