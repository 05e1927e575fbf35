# Any 32-bit ARM Linux from ARMv5TE on, armhf systems included: a static
# executable linked against musl (Debian's musl-dev:armel), which does not
# care about the system's float ABI. Tests run under qemu-arm-static; set
# QEMU_CPU (arm926, arm1176) to run them as an older core.
# cmake -S . -B build-musl-armel --toolchain cmake/toolchains/arm-linux-musleabi.cmake
include(${CMAKE_CURRENT_LIST_DIR}/arm-linux-gnueabi.cmake)
set(musl_triplet arm-linux-musleabi)
set(musl_arch armel)
include(${CMAKE_CURRENT_LIST_DIR}/musl.cmake)
