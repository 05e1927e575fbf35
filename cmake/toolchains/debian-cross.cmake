# Cross-compiling with a Debian cross toolchain. The including toolchain file
# sets cross_triplet, cross_processor, cross_qemu and cross_debian_arch.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR ${cross_processor})
set(CMAKE_C_COMPILER ${cross_triplet}-gcc)
set(CMAKE_CXX_COMPILER ${cross_triplet}-g++)
set(CMAKE_FIND_ROOT_PATH /usr/${cross_triplet})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# Tests run the target's programs under qemu-user, with the target's libraries.
set(CMAKE_CROSSCOMPILING_EMULATOR /usr/bin/${cross_qemu} -L /usr/${cross_triplet})
set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE ${cross_debian_arch})
