#!/bin/sh
# `cpack -G DEB` makes a Debian package holding the header, both libraries,
# the CMake package, quillmere.pc, the command line and the Python client,
# and depending on the libraries they load.
# Usage: debian_package_test.sh BUILD_DIR
set -eu
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
if ! cpack -G DEB --config "$1/CPackConfig.cmake" -B "$work" > "$work/cpack.log" 2>&1; then
  cat "$work/cpack.log"
  exit 1
fi
package=$(ls "$work"/*.deb)
dpkg-deb -c "$package" | awk '{print $6}' > "$work/files"
for file in include/quillmere/quillmere.h lib/libquillmere.so.1 lib/libquillmere.so lib/libquillmere.a \
  lib/cmake/Quillmere/QuillmereConfig.cmake lib/pkgconfig/quillmere.pc bin/quillmere \
  lib/python3/dist-packages/quillmere/__init__.py; do
  grep -qx "./usr/$file" "$work/files" || { echo "$(basename "$package") lacks /usr/$file"; exit 1; }
done
depends=$(dpkg-deb -f "$package" Depends)
case $depends in
  *libsqlite3-0*libstdc++6* | *libstdc++6*libsqlite3-0*) ;;
  *) echo "Depends: $depends"; exit 1 ;;
esac
echo "$(basename "$package"): every file in place; Depends: $depends"
