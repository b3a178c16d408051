# Shared by the mingw-w64 toolchain files: they set VARDEL_MINGW_PREFIX, VARDEL_WINE_ARCH and
# VARDEL_WINE_LOADER first. Programs and tests run under the Wine of the same architecture.
set(CMAKE_SYSTEM_NAME Windows)

# The posix thread model: GoogleTest needs std::mutex, which this compiler's win32 model lacks.
# Programs link statically (see the top CMakeLists), so winpthread ends up inside the exe.
find_program(CMAKE_CXX_COMPILER NAMES ${VARDEL_MINGW_PREFIX}-g++-posix REQUIRED)
find_program(CMAKE_C_COMPILER NAMES ${VARDEL_MINGW_PREFIX}-gcc-posix REQUIRED)
find_program(CMAKE_RC_COMPILER NAMES ${VARDEL_MINGW_PREFIX}-windres REQUIRED)

set(CMAKE_FIND_ROOT_PATH /usr/${VARDEL_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# The loader is named, never left to the `wine` wrapper: with wine32 installed the wrapper takes the
# 32-bit loader even on a machine that cannot start 32-bit programs.
if(EXISTS ${VARDEL_WINE_LOADER})
  set(CMAKE_CROSSCOMPILING_EMULATOR ${VARDEL_WINE_LOADER})
endif()
