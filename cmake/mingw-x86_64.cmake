# x86_64 Windows with Debian's MinGW-w64 "-posix" compilers (GoogleTest needs
# std::mutex, which the default win32 thread model lacks). Test programs run
# under 64-bit Wine through the wrapper that owns the test prefix.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
cmake_path(ABSOLUTE_PATH CMAKE_CURRENT_LIST_DIR NORMALIZE OUTPUT_VARIABLE _sorabun_cmake_dir)
cmake_path(GET _sorabun_cmake_dir PARENT_PATH _sorabun_source_dir)
set(CMAKE_CROSSCOMPILING_EMULATOR ${_sorabun_source_dir}/tests/wine/run-wine.sh)
