# find_package(Quillmere): Quillmere::quillmere, the static library for C++
# hosts, and Quillmere::quillmere_c, the shared library of the C interface
# (quillmere/quillmere.h). The static library hands on the engine's private
# libraries (QUILLMERE_PRIVATE_LIBRARIES in CMakeLists.txt): each is found here.
include(CMakeFindDependencyMacro)
find_dependency(SQLite3)
find_dependency(PkgConfig)
pkg_check_modules(XLSXWRITER REQUIRED IMPORTED_TARGET xlsxwriter)
include("${CMAKE_CURRENT_LIST_DIR}/QuillmereTargets.cmake")
