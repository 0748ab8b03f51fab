# libxlsxwriter as the target kessan::xlsxwriter. Natively, the system's (Debian's
# libxlsxwriter-dev). Cross-built for Windows, Debian's source package of the same version,
# built with the same compiler against Debian's mingw-w64 zlib into build-windows/xlsxwriter
# and linked statically. It builds once per build folder, alongside the other targets.
add_library(kessan_xlsxwriter INTERFACE)
add_library(kessan::xlsxwriter ALIAS kessan_xlsxwriter)
if(NOT CMAKE_CROSSCOMPILING)
  find_package(PkgConfig REQUIRED)
  pkg_check_modules(XLSXWRITER REQUIRED IMPORTED_TARGET xlsxwriter)
  # zlib too, which reads the finished workbook back.
  pkg_check_modules(ZLIB REQUIRED IMPORTED_TARGET zlib)
  target_link_libraries(kessan_xlsxwriter INTERFACE PkgConfig::XLSXWRITER PkgConfig::ZLIB)
  return()
endif()

set(KESSAN_XLSXWRITER_DEBIAN_VERSION 1.1.4-2 CACHE STRING
    "The version of Debian's libxlsxwriter source package built for Windows")
include(ExternalProject)
set(prefix ${CMAKE_BINARY_DIR}/xlsxwriter)
# -D__USE_MINGW_ANSI_STDIO=1: numbers printed by C99 conversions, as on Linux; the source folder
# mapped to a fixed name, so that the library's messages do not depend on the build folder.
ExternalProject_Add(xlsxwriter_source
  PREFIX ${prefix}
  SOURCE_DIR ${prefix}/source
  INSTALL_DIR ${prefix}/install
  DOWNLOAD_COMMAND sh ${CMAKE_CURRENT_LIST_DIR}/debian-source.sh libxlsxwriter
                   ${KESSAN_XLSXWRITER_DEBIAN_VERSION} <SOURCE_DIR> ${prefix}/apt
  UPDATE_COMMAND ""
  CMAKE_ARGS -DCMAKE_TOOLCHAIN_FILE=${CMAKE_TOOLCHAIN_FILE} -DCMAKE_BUILD_TYPE=Release
             -DCMAKE_INSTALL_PREFIX=<INSTALL_DIR> -DBUILD_SHARED_LIBS=OFF
             "-DCMAKE_C_FLAGS=-D__USE_MINGW_ANSI_STDIO=1 -ffile-prefix-map=<SOURCE_DIR>=/libxlsxwriter"
             -DZLIB_ROOT=${CMAKE_FIND_ROOT_PATH} -DZLIB_LIBRARY=${CMAKE_FIND_ROOT_PATH}/lib/libz.a
  BUILD_BYPRODUCTS <INSTALL_DIR>/lib/libxlsxwriter.a
  LOG_DOWNLOAD ON LOG_CONFIGURE ON LOG_BUILD ON LOG_INSTALL ON LOG_OUTPUT_ON_FAILURE ON)
file(MAKE_DIRECTORY ${prefix}/install/include)
target_include_directories(kessan_xlsxwriter INTERFACE ${prefix}/install/include)
target_link_libraries(kessan_xlsxwriter INTERFACE ${prefix}/install/lib/libxlsxwriter.a
                      ${CMAKE_FIND_ROOT_PATH}/lib/libz.a)
add_dependencies(kessan_xlsxwriter xlsxwriter_source)
