# find_package(Quillmere): the static library needs SQLite and libxlsxwriter
# (found with pkg-config) at link time.
include(CMakeFindDependencyMacro)
find_dependency(SQLite3)
find_dependency(PkgConfig)
pkg_check_modules(XLSXWRITER REQUIRED IMPORTED_TARGET xlsxwriter)
include("${CMAKE_CURRENT_LIST_DIR}/QuillmereTargets.cmake")
