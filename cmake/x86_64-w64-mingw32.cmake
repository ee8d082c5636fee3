# 64-bit Windows: only for running the Windows tests under Wine on a machine whose
# kernel runs no 32-bit programs (32-bit Wine cannot start there).
set(ZAMPOLO_WIN_TRIPLET x86_64-w64-mingw32)
set(ZAMPOLO_WINEARCH win64)
set(ZAMPOLO_WINE /usr/lib/wine/wine64)
set(CMAKE_SYSTEM_PROCESSOR AMD64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
