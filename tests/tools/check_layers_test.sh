#!/usr/bin/env bash
# The layering check itself: quiet on a tree whose includes point downward, failing on each kind of
# wrong include.
#   check_layers_test.sh PATH/TO/check_layers.sh
set -uo pipefail
check=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

tree() { # a small good tree
    rm -rf "$work/t"
    mkdir -p "$work/t/src/kernels" "$work/t/src/core" "$work/t/src/ui/windows" "$work/t/src/ui/main_window" "$work/t/cli"
    printf '#pragma once\n#include <vector>\n' >"$work/t/src/kernels/k.h"
    printf '#include "kernels/k.h"\n#include <QString>\n' >"$work/t/src/core/c.cpp"
    printf '#include "core/c.h"\n#include "ui/platform/form.h"\n' >"$work/t/src/ui/windows/w.cpp"
    printf '#include "ui/windows/w.h"\n' >"$work/t/src/ui/main_window/m.cpp"
    printf '#include "core/c.h"\n#include "options.h"\n' >"$work/t/cli/main.cpp"
}

fail=0
tree
"$check" "$work/t" >/dev/null || { echo "a good tree was refused"; fail=1; }

expect_refused() { # file line what
    tree
    printf '%s\n' "$2" >>"$work/t/$1"
    if out=$("$check" "$work/t"); then
        echo "not refused: $3"
        fail=1
    elif ! grep -q "$1" <<<"$out"; then
        echo "refused, but not naming $1: $out"
        fail=1
    fi
}
expect_refused src/kernels/k.h '#include "core/c.h"' "kernels including core"
expect_refused src/kernels/k.h '#include <QImage>' "kernels including Qt"
expect_refused src/core/c.cpp '#include "ui/windows/w.h"' "core including ui"
expect_refused cli/main.cpp '#include "ui/main_window/m.h"' "the converter including ui"
expect_refused src/ui/windows/w.cpp '#include "ui/main_window/frm_main.h"' "a window including the main window"
expect_refused src/core/c.cpp '#include "../ui/windows/w.h"' "a relative include"
[ $fail -eq 0 ] && echo "the layering check passes a good tree and refuses each wrong include"
exit $fail
