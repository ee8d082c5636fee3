# Linux: forms and controls on Qt Widgets, files over POSIX, media remotes over D-Bus.
find_package(Qt6 REQUIRED COMPONENTS DBus)
target_sources(runtime PRIVATE
    qt/Accessibility.cpp
    qt/Controls.cpp
    qt/Files.cpp
    qt/Forms.cpp
    qt/HandedFolders.cpp
    qt/Host.cpp
    qt/MediaRemote.cpp
    qt/Program.cpp)
target_include_directories(runtime PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/qt)
set_target_properties(runtime PROPERTIES NO_SONAME ON)
target_link_options(runtime PRIVATE "-Wl,-soname,MSVBVM50.DLL")
target_link_libraries(runtime PRIVATE Qt6::Widgets Qt6::DBus)
install(TARGETS runtime LIBRARY DESTINATION ${ZAMPOLO_SYSTEM_DIR})
