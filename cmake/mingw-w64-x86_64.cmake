# Cross-compiles for 64-bit Windows with Debian's MinGW-w64 toolchain. The POSIX-threads
# flavour of the compilers is required: the win32 flavour's libstdc++ has no std::thread,
# which the sensing pass uses.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(VELUNARY_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${VELUNARY_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VELUNARY_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${VELUNARY_MINGW_PREFIX}-windres)
set(CMAKE_OBJDUMP ${VELUNARY_MINGW_PREFIX}-objdump)

# Headers and libraries come from the MinGW sysroot only; programs (the code generators
# a build may run) from the build machine.
set(CMAKE_FIND_ROOT_PATH /usr/${VELUNARY_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# windres runs the C preprocessor over resource scripts; name the same compiler rather
# than whichever one the unsuffixed alternative points to.
set(CMAKE_RC_FLAGS_INIT "--preprocessor=${CMAKE_C_COMPILER} --preprocessor-arg=-E \
--preprocessor-arg=-xc --preprocessor-arg=-DRC_INVOKED")
