# PE32+, for 64-bit hosts; tests under 64-bit Wine, which needs no i386
# support from the kernel.
set(ZAN_MINGW_PROCESSOR x86_64)
set(ZAN_WINE_ARCH win64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
