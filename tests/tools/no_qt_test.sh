#!/usr/bin/env bash
# The kernel tests link only the kernels: no Qt library is loaded with them.
#   no_qt_test.sh PATH/TO/test_kernels
set -uo pipefail
[ -x "$1" ] || { echo "no executable $1"; exit 1; }
libs=$(ldd "$1") || { echo "ldd failed on $1"; exit 1; }
if grep -qi 'libQt' <<<"$libs"; then
    echo "$1 loads Qt:"
    grep -i 'libQt' <<<"$libs"
    exit 1
fi
echo "$(basename "$1") loads no Qt library ($(wc -l <<<"$libs") libraries in all)"
