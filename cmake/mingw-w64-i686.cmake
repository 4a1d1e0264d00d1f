# 32-bit Windows: compiled and linked only; these machines cannot run it.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(VORREL_MINGW_TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
