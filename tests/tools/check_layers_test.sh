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
    mkdir -p "$work/t/src/kernels" "$work/t/src/base" "$work/t/src/core" "$work/t/src/ui/windows" \
        "$work/t/src/ui/main_window" "$work/t/cli/qt_bridge" "$work/t/cli/terminal" "$work/t/cli/order_cache" \
        "$work/t/tests/cli/order_cache"
    printf '#pragma once\n#include <vector>\n' >"$work/t/src/kernels/k.h"
    printf '#include "kernels/k.h"\n#include <string>\n' >"$work/t/src/base/b.cpp"
    printf '#include "kernels/k.h"\n#include "base/b.h"\n#include <QString>\n#include <QtGui/QImage>\n' >"$work/t/src/core/c.cpp"
    printf '#include "core/c.h"\n#include "ui/platform/form.h"\n' >"$work/t/src/ui/windows/w.cpp"
    printf '#include "ui/windows/w.h"\n' >"$work/t/src/ui/main_window/m.cpp"
    printf '#include "base/b.h"\n#include "options.h"\n#include "terminal/t.h"\n#include "order_cache/o.h"\n' \
        >"$work/t/cli/main.cpp"
    printf '#pragma once\n#include "kernels/k.h"\n' >"$work/t/cli/qt_bridge/qt_services.h"
    printf '#include "qt_bridge/qt_services.h"\n#include "core/c.h"\n#include <QGuiApplication>\n' \
        >"$work/t/cli/qt_bridge/qt_module.cpp"
    printf '#pragma once\n#include "base/b.h"\n' >"$work/t/cli/terminal/t.h"
    printf '#pragma once\n#include "qt_bridge/qt_services.h"\n#include "f.h"\n' >"$work/t/cli/order_cache/o.h"
    printf '#pragma once\n#include <string>\n' >"$work/t/cli/order_cache/f.h"
    printf '#include "order_cache/o.h"\n#include "qt_bridge/qt_services.h"\n' \
        >"$work/t/tests/cli/order_cache/o_test.cpp"
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
expect_refused src/kernels/k.h '#include "base/b.h"' "kernels including the plain layer"
# Qt in every spelling, in both layers that must do without it.
for layer_file in src/kernels/k.h src/base/b.cpp; do
    for spelling in '<QImage>' '<QtGui/QImage>' '<QtCore>' '<qstring.h>' '"QString"'; do
        expect_refused "$layer_file" "#include $spelling" "$layer_file including Qt as $spelling"
    done
done
expect_refused src/base/b.cpp '#include "core/c.h"' "the plain layer including core"
expect_refused cli/main.cpp '#include "core/c.h"' "the converter including core outside its Qt module"
expect_refused cli/main.cpp '#include <QtCore/QString>' "the converter including Qt outside its Qt module"
expect_refused src/core/c.cpp '#include "ui/windows/w.h"' "core including ui"
expect_refused cli/main.cpp '#include "ui/main_window/m.h"' "the converter including ui"
expect_refused src/ui/windows/w.cpp '#include "ui/main_window/frm_main.h"' "a window including the main window"
expect_refused src/core/c.cpp '#include "../ui/windows/w.h"' "a relative include"
# The converter's parts: qt_bridge <- terminal <- order_cache <- the front end; Qt in the bridge's module alone.
expect_refused cli/terminal/t.h '#include "order_cache/o.h"' "the terminal including the order cache"
expect_refused cli/qt_bridge/qt_services.h '#include "terminal/t.h"' "the bridge's interface including the terminal"
expect_refused cli/order_cache/o.h '#include "options.h"' "the order cache including the front end"
expect_refused cli/order_cache/o.h '#include "core/c.h"' "the order cache including core"
expect_refused cli/qt_bridge/qt_services.h '#include <QString>' "the bridge's interface including Qt"
expect_refused tests/cli/order_cache/o_test.cpp '#include "options.h"' "a library's test including the front end"
expect_refused src/base/b.cpp '#include "terminal/t.h"' "the plain layer including the converter's terminal"
expect_refused cli/order_cache/f.h '#include "order_cache/o.h"' "two headers including each other"
[ $fail -eq 0 ] && echo "the layering check passes a good tree and refuses each wrong include"
exit $fail
