# The cross-build for Windows with mingw-w64 (posix threads), shared by both
# widths; a toolchain file sets ZAN_MINGW_PROCESSOR (i686, x86_64) and
# ZAN_WINE_ARCH (win32, win64) and includes this. Tests run under Wine of
# that width in a prefix private to the build tree.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${ZAN_MINGW_PROCESSOR})
set(triple ${ZAN_MINGW_PROCESSOR}-w64-mingw32)
set(CMAKE_C_COMPILER ${triple}-gcc-posix)
set(CMAKE_CXX_COMPILER ${triple}-g++-posix)
set(CMAKE_RC_COMPILER ${triple}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${triple})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_CROSSCOMPILING_EMULATOR "${CMAKE_CURRENT_LIST_DIR}/wine-run.sh;${ZAN_WINE_ARCH};${CMAKE_BINARY_DIR}/wineprefix")
