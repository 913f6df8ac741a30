# find_package(Quillmere): the static library needs SQLite at link time.
include(CMakeFindDependencyMacro)
find_dependency(SQLite3)
include("${CMAKE_CURRENT_LIST_DIR}/QuillmereTargets.cmake")
