# Cross-build for 32-bit Windows with mingw-w64; programs and tests run under Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)

set(VARDEL_MINGW_PREFIX i686-w64-mingw32)
# The posix thread model: GoogleTest needs std::mutex, which this compiler's win32 model lacks.
# Programs link statically (see the top CMakeLists), so winpthread ends up inside the exe.
find_program(CMAKE_CXX_COMPILER NAMES ${VARDEL_MINGW_PREFIX}-g++-posix REQUIRED)
find_program(CMAKE_C_COMPILER NAMES ${VARDEL_MINGW_PREFIX}-gcc-posix REQUIRED)
find_program(CMAKE_RC_COMPILER NAMES ${VARDEL_MINGW_PREFIX}-windres REQUIRED)

set(CMAKE_FIND_ROOT_PATH /usr/${VARDEL_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

find_program(VARDEL_WINE NAMES wine)
if(VARDEL_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${VARDEL_WINE})
endif()
