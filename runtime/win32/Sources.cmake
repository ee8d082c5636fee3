# Windows: forms and controls on native window classes and GDI, pictures by OLE, files
# and message boxes over the system's own functions.
target_sources(runtime PRIVATE
    win32/Controls.cpp
    win32/Files.cpp
    win32/Forms.cpp
    win32/HandedFolders.cpp
    win32/Host.cpp
    win32/MediaRemote.cpp
    win32/Pictures.cpp
    win32/Program.cpp)
target_include_directories(runtime PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/win32)
# localtime_r, as on Linux.
target_compile_definitions(runtime PRIVATE _POSIX_THREAD_SAFE_FUNCTIONS)
target_link_libraries(runtime PRIVATE comctl32 gdi32 ole32 oleaut32 shell32 uuid)
# Only the runtime's own functions are exported, not those of the static C++ libraries.
target_link_options(runtime PRIVATE -Wl,--exclude-libs,ALL)
# Its icon (Zampolo's butterfly, as the programs it runs) and version resource.
zampolo_windows_resources(runtime ICON ${PROJECT_SOURCE_DIR}/player/images/butterfly.ico
    DESCRIPTION "Zampolo, biblioteca de ejecución")
install(TARGETS runtime RUNTIME DESTINATION ${ZAMPOLO_SYSTEM_DIR})
# mingw-w64's GCC 12 at -O3 takes the strings of a form's designated-initializer design
# (Look, FormLook) for maybe uninitialized: a false warning, for every program's forms.
target_compile_options(runtime INTERFACE -Wno-maybe-uninitialized)
