# The tool as one static executable linked against musl, for boards without
# Debian, from Debian's musl-dev for the target. The including toolchain file
# sets musl_triplet (Debian's name for the target's musl) and musl_arch (the
# architecture in the archive's name). Only the tool is built against musl,
# with gcc's own musl specs; the tests keep the glibc toolchain of the same
# architecture and run the tool as the external program it is.
set(MUSL_SPECS /usr/lib/${musl_triplet}/musl-gcc.specs)
set(MUSL_ARCH ${musl_arch})
