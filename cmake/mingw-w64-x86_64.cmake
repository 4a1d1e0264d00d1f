# 64-bit Windows; the tests run under Wine in the project's own prefix.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(VORREL_MINGW_TRIPLE x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine_run.sh)
