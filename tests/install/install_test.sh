#!/bin/sh
# The installed package as a host meets it: `cmake --install` into a fresh
# prefix, then the C example of docs/C_API.md built against it twice, with
# find_package(Quillmere) and with pkg-config and plain cc, and run on the
# demo project: both print the project cost `quillmere calc` prints.
# Usage: install_test.sh BUILD_DIR SOURCE_DIR
set -eu
build=$1
source=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix
cmake --install "$build" --prefix "$prefix" > /dev/null

# The example exactly as a reader copies it from the guide.
awk '/^## Example/ { found = 1 } found && /^```$/ && code { exit } code { print } found && /^```c$/ { code = 1 }' \
  "$source/docs/C_API.md" > "$work/price.c"
grep -q 'qm_run_pipeline' "$work/price.c"

cat > "$work/CMakeLists.txt" <<'CMAKE'
cmake_minimum_required(VERSION 3.25)
project(price C)
find_package(Quillmere 0.1 REQUIRED)
add_executable(price price.c)
target_link_libraries(price PRIVATE Quillmere::quillmere_c)
CMAKE
cmake -S "$work" -B "$work/with-cmake" -DCMAKE_PREFIX_PATH="$prefix" > /dev/null
cmake --build "$work/with-cmake" > /dev/null

pc_dir=$(dirname "$(find "$prefix" -name quillmere.pc)")
PKG_CONFIG_PATH=$pc_dir
export PKG_CONFIG_PATH
cc -std=c99 -Wall -Wextra -pedantic -Werror "$work/price.c" $(pkg-config --cflags --libs quillmere) \
  -o "$work/price-with-pkg-config"

"$prefix/bin/quillmere" demo "$work/demo.db" > /dev/null
for copy in calc cmake pkg-config; do cp "$work/demo.db" "$work/$copy.db"; done
expected=$("$prefix/bin/quillmere" calc "$work/calc.db" --bill-pricing --json 2> /dev/null |
  sed -n 's/^  "project_cost": \(.*\),$/\1/p')
by_cmake=$("$work/with-cmake/price" "$work/cmake.db" 2> /dev/null)
by_pkg_config=$(LD_LIBRARY_PATH=$pc_dir/.. "$work/price-with-pkg-config" "$work/pkg-config.db" 2> /dev/null)
for outcome in "$by_cmake" "$by_pkg_config"; do
  case $outcome in
    *"\"DblGCZJ\":$expected,"*) ;;
    *) echo "expected the project cost $expected, got: $outcome"; exit 1 ;;
  esac
done
echo "installed package: the example prints the project cost $expected, built with CMake and with pkg-config"
