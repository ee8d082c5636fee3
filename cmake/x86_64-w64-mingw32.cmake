# 64-bit Windows, the one Windows build: these machines run it under 64-bit Wine.
set(ZAMPOLO_WIN_TRIPLET x86_64-w64-mingw32)
set(ZAMPOLO_WINEARCH win64)
set(ZAMPOLO_WINE /usr/lib/wine/wine64)
set(CMAKE_SYSTEM_PROCESSOR AMD64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
