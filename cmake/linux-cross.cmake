# Cross-compiling for Linux on another processor with Debian's cross
# compilers (g++-TRIPLE); programs built here run under qemu-user, which is
# how CTest runs the tests. The preset names the target by its GNU triple in
# J6ENC_CROSS_TRIPLE; this table gives what follows from it.
#   triple                  processor (uname -m)  qemu-user's name
set(j6enc_cross_targets
    "aarch64-linux-gnu       aarch64               aarch64"
    "s390x-linux-gnu         s390x                 s390x"
    "powerpc64le-linux-gnu   ppc64le               ppc64le"
    "riscv64-linux-gnu       riscv64               riscv64"
    "i686-linux-gnu          i686                  i386"
    "arm-linux-gnueabihf     armv7l                arm")
# The projects that CMake builds to try the compiler read this file too.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES J6ENC_CROSS_TRIPLE)

foreach(target IN LISTS j6enc_cross_targets)
  string(REGEX REPLACE " +" ";" target "${target}")
  list(GET target 0 triple)
  if(triple STREQUAL J6ENC_CROSS_TRIPLE)
    list(GET target 1 CMAKE_SYSTEM_PROCESSOR)
    list(GET target 2 j6enc_qemu)
  endif()
endforeach()
if(NOT j6enc_qemu)
  message(FATAL_ERROR "J6ENC_CROSS_TRIPLE: \"${J6ENC_CROSS_TRIPLE}\" is none of the targets in ${CMAKE_CURRENT_LIST_FILE}")
endif()

set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_CXX_COMPILER ${J6ENC_CROSS_TRIPLE}-g++)
set(CMAKE_FIND_ROOT_PATH /usr/${J6ENC_CROSS_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# Cached, so that scripts can read from the build how to run its programs.
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-${j6enc_qemu} -L /usr/${J6ENC_CROSS_TRIPLE}
    CACHE STRING "How the build machine runs this target's programs")
