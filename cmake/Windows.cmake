# What the Windows build takes from outside: libmpg123 and libout123 as static
# libraries (scripts/windows.sh builds them from Debian's source package into the
# build folder), threads, and the version resource every file carries.

set(ZAMPOLO_MPG123_PREFIX "${CMAKE_BINARY_DIR}/mpg123" CACHE PATH
    "Where libmpg123 and libout123 for Windows are installed")
if(NOT EXISTS "${ZAMPOLO_MPG123_PREFIX}/lib/libmpg123.a")
  message(FATAL_ERROR "No libmpg123 for Windows in ${ZAMPOLO_MPG123_PREFIX}: "
                      "scripts/windows.sh builds it")
endif()
# The target name that pkg-config gives on Linux, so the layers link it the same way.
add_library(PkgConfig::MPG123 INTERFACE IMPORTED)
target_include_directories(PkgConfig::MPG123 INTERFACE "${ZAMPOLO_MPG123_PREFIX}/include")
target_link_libraries(PkgConfig::MPG123 INTERFACE
    "${ZAMPOLO_MPG123_PREFIX}/lib/libout123.a"
    "${ZAMPOLO_MPG123_PREFIX}/lib/libsyn123.a"
    "${ZAMPOLO_MPG123_PREFIX}/lib/libmpg123.a"
    winmm shlwapi)

find_package(Threads REQUIRED)

# zampolo_windows_resources(TARGET ICON file DESCRIPTION text [PICTURES file.rc]
#                           [ADMINISTRATOR]): the file's one resource script (GNU ld keeps
# one resource object per link): its icon, its version resource (1.00, Spanish 0x040A,
# Unicode code page 1200), a program's manifest, and the pictures that PICTURES lists.
# ADMINISTRATOR: the program asks to run as administrator (it writes the system folder).
function(zampolo_windows_resources target)
  cmake_parse_arguments(ARG "ADMINISTRATOR" "ICON;DESCRIPTION;PICTURES" "" ${ARGN})
  get_target_property(type ${target} TYPE)
  get_target_property(name ${target} OUTPUT_NAME)
  if(NOT name)
    set(name ${target})
  endif()
  get_target_property(suffix ${target} SUFFIX)
  if(NOT suffix)
    set(suffix "")
  endif()
  set(MANIFEST "")
  if(type STREQUAL "EXECUTABLE")
    set(FILE_TYPE VFT_APP)
    if(NOT suffix)
      set(suffix ".exe")
    endif()
    # The program's manifest: UTF-8 as the ANSI code page, per-monitor DPI awareness,
    # common controls 6.
    set(PROGRAM ${name})
    set(LEVEL asInvoker)
    if(ARG_ADMINISTRATOR)
      set(LEVEL requireAdministrator)
    endif()
    configure_file(${PROJECT_SOURCE_DIR}/cmake/program.manifest.in
                   ${CMAKE_CURRENT_BINARY_DIR}/${target}.manifest @ONLY)
    set(MANIFEST "1 24 \"${CMAKE_CURRENT_BINARY_DIR}/${target}.manifest\"")
  else()
    set(FILE_TYPE VFT_DLL)
  endif()
  set(FILE_NAME "${name}${suffix}")
  set(ICON "${ARG_ICON}")
  set(DESCRIPTION "${ARG_DESCRIPTION}")
  set(PICTURES "")
  if(ARG_PICTURES)
    set(PICTURES "#include \"${ARG_PICTURES}\"")
    # Its file names are found beside it.
    get_filename_component(dir ${ARG_PICTURES} DIRECTORY)
    set_property(SOURCE ${CMAKE_CURRENT_BINARY_DIR}/${target}.rc APPEND PROPERTY
                 COMPILE_OPTIONS "--include-dir=${dir}")
    set_property(SOURCE ${CMAKE_CURRENT_BINARY_DIR}/${target}.rc APPEND PROPERTY
                 OBJECT_DEPENDS ${ARG_PICTURES})
  endif()
  configure_file(${PROJECT_SOURCE_DIR}/cmake/VersionInfo.rc.in
                 ${CMAKE_CURRENT_BINARY_DIR}/${target}.rc @ONLY)
  target_sources(${target} PRIVATE ${CMAKE_CURRENT_BINARY_DIR}/${target}.rc)
endfunction()
