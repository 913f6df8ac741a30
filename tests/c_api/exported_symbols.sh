#!/bin/sh
# The shared library exports exactly the functions quillmere.h declares: a
# symbol without the qm_ prefix would tie hosts to the engine's insides, and
# a declared function missing from the library would fail them at load time.
# Usage: exported_symbols.sh LIBRARY HEADER
set -eu
exported=$(nm -D --defined-only "$1" | awk '{print $NF}' | sort)
declared=$(sed -n 's/^QM_API [^(]* \**\(qm_[a-z0-9_]*\)(.*/\1/p' "$2" | sort)
strangers=$(printf '%s\n' "$exported" | grep -v '^qm_' || true)
if [ -n "$strangers" ]; then
  echo "exported without the qm_ prefix:"; echo "$strangers"; exit 1
fi
if [ "$exported" != "$declared" ]; then
  echo "exported:"; echo "$exported"; echo "declared in $2:"; echo "$declared"; exit 1
fi
echo "exported symbols: the $(echo "$declared" | wc -l) functions of $(basename "$2")"
