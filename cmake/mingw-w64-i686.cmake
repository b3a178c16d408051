# Cross-build for 32-bit Windows with mingw-w64, the program of record.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(VARDEL_MINGW_PREFIX i686-w64-mingw32)
set(VARDEL_WINE_ARCH win32)
set(VARDEL_WINE_LOADER /usr/lib/wine/wine)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
