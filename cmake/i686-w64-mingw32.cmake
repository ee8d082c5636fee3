# 32-bit Windows: not built (nothing 32-bit runs here to prove it); the request record
# is 16 bytes and HWND 32 bits. SSE2 arithmetic, as libmpg123 is built: no x87 excess precision.
set(ZAMPOLO_WIN_TRIPLET i686-w64-mingw32)
set(ZAMPOLO_WINEARCH win32)
set(ZAMPOLO_WINE /usr/lib/wine/wine)
set(CMAKE_SYSTEM_PROCESSOR x86)
set(CMAKE_C_FLAGS_INIT "-msse2 -mfpmath=sse")
set(CMAKE_CXX_FLAGS_INIT "-msse2 -mfpmath=sse")
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
