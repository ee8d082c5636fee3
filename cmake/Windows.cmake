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

# zampolo_version_resource(TARGET ICON file DESCRIPTION text): the file's icon and its
# version resource: 1.00, Spanish (0x040A) in the Unicode code page (1200).
function(zampolo_version_resource target)
  cmake_parse_arguments(ARG "" "ICON;DESCRIPTION" "" ${ARGN})
  get_target_property(type ${target} TYPE)
  if(type STREQUAL "EXECUTABLE")
    set(FILE_TYPE VFT_APP)
  else()
    set(FILE_TYPE VFT_DLL)
  endif()
  get_target_property(name ${target} OUTPUT_NAME)
  if(NOT name)
    set(name ${target})
  endif()
  get_target_property(suffix ${target} SUFFIX)
  if(type STREQUAL "EXECUTABLE" AND NOT suffix)
    set(suffix ".exe")
  elseif(NOT suffix)
    set(suffix "")
  endif()
  set(FILE_NAME "${name}${suffix}")
  set(ICON "${ARG_ICON}")
  set(DESCRIPTION "${ARG_DESCRIPTION}")
  configure_file(${PROJECT_SOURCE_DIR}/cmake/VersionInfo.rc.in
                 ${CMAKE_CURRENT_BINARY_DIR}/${target}.rc @ONLY)
  target_sources(${target} PRIVATE ${CMAKE_CURRENT_BINARY_DIR}/${target}.rc)
endfunction()
