# Cross-build for 64-bit Windows with mingw-w64.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(VARDEL_MINGW_PREFIX x86_64-w64-mingw32)
set(VARDEL_WINE_ARCH win64)
set(VARDEL_WINE_LOADER /usr/lib/wine/wine64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
