# Windows with Debian's mingw-w64 cross compilers; included by the toolchain file of
# each target, which sets ZAMPOLO_WIN_TRIPLET. The posix thread model has std::thread
# and std::mutex; -static keeps libwinpthread, libgcc and libstdc++ inside each file,
# so the programs need nothing beside them but Windows itself; -s: no symbols.
set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_C_COMPILER ${ZAMPOLO_WIN_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ZAMPOLO_WIN_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${ZAMPOLO_WIN_TRIPLET}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${ZAMPOLO_WIN_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -s")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -s")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static -s")

# Programs (the tests) run here under Wine, in a prefix of the build folder's own
# that scripts/windows.sh makes once; wine-run.sh tries a start that Wine fails again.
set(CMAKE_CROSSCOMPILING_EMULATOR
    ${CMAKE_COMMAND} -E env WINEARCH=${ZAMPOLO_WINEARCH} WINEPREFIX=${CMAKE_BINARY_DIR}/wineprefix
    WINELOADER=${ZAMPOLO_WINE} WINEDEBUG=-all bash ${CMAKE_CURRENT_LIST_DIR}/wine-run.sh
    ${ZAMPOLO_WINE})
