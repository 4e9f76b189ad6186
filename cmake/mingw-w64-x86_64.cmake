# Cross toolchain: 64-bit Windows programs built on Debian with mingw-w64's
# posix-thread compilers (the win32-thread ones cannot build GoogleTest).
# Programs are linked -static, so they need only the system's own DLLs, and
# run under Wine for the tests.
#
# TARVEL_MINGW_PREFIX (cache variable or environment) names the folder where
# the cross-built FreeType and GoogleTest are installed.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(_triple x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${_triple}-gcc-posix)
set(CMAKE_CXX_COMPILER ${_triple}-g++-posix)
set(CMAKE_RC_COMPILER ${_triple}-windres)
set(CMAKE_AR ${_triple}-gcc-ar-posix CACHE FILEPATH "")
set(CMAKE_RANLIB ${_triple}-gcc-ranlib-posix CACHE FILEPATH "")

if(NOT TARVEL_MINGW_PREFIX AND DEFINED ENV{TARVEL_MINGW_PREFIX})
  set(TARVEL_MINGW_PREFIX $ENV{TARVEL_MINGW_PREFIX})
endif()
set(TARVEL_MINGW_PREFIX "${TARVEL_MINGW_PREFIX}" CACHE PATH "Cross-built FreeType and GoogleTest")
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES TARVEL_MINGW_PREFIX)

set(CMAKE_FIND_ROOT_PATH /usr/${_triple} ${TARVEL_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# Test programs run under Wine.
find_program(TARVEL_WINE NAMES wine wine64)
if(TARVEL_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${TARVEL_WINE})
endif()
