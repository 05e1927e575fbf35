# x86-64, a static executable linked against musl (Debian's musl-tools).
# cmake -S . -B build-musl --toolchain cmake/toolchains/x86_64-linux-musl.cmake
set(musl_triplet x86_64-linux-musl)
set(musl_arch x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/musl.cmake)
