# PE32, for 32-bit hosts; tests under 32-bit Wine.
set(ZAN_MINGW_PROCESSOR i686)
set(ZAN_WINE_ARCH win32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
