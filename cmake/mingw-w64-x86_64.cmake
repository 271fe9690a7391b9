# Cross-compiles Vintrel for 64-bit Windows with Debian's mingw-w64 (posix
# thread model, so std::thread and std::atomic have their full support).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(VINTREL_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${VINTREL_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VINTREL_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${VINTREL_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${VINTREL_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# Test programs are Windows executables: CTest runs them through Wine.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/wine-run)
