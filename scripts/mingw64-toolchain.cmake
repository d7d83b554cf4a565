# Cross-compiles for 64-bit Windows with Debian's mingw-w64 (the POSIX thread
# model, which Qt's and our std::thread need).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(DRAVIK_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${DRAVIK_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${DRAVIK_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${DRAVIK_MINGW_PREFIX}-windres)
set(CMAKE_AR /usr/bin/${DRAVIK_MINGW_PREFIX}-ar CACHE FILEPATH "")
set(CMAKE_RANLIB /usr/bin/${DRAVIK_MINGW_PREFIX}-ranlib CACHE FILEPATH "")
# The host's headers and libraries must never be picked up; the host's tools
# (moc, uic, rcc from qt6-base-dev-tools) are.
set(CMAKE_FIND_ROOT_PATH /usr/${DRAVIK_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
