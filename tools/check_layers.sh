#!/usr/bin/env bash
# Fails when a source file includes a header from a layer above its own, or when headers include each other
# in a circle. The layers, bottom up:
#   kernels <- base (neither includes Qt) <- core <- ui <- app,   and   cli -> base -> kernels.
# Inside ui: platform <- state <- shell_links <- windows <- main_window.
# Inside the converter: qt_bridge <- terminal <- order_cache <- the front end (the files directly in cli/).
# The converter sees no ui, and no core or Qt but in the Qt bridge's module (cli/qt_bridge/qt_module.cpp);
# its libraries see only their own folder and the libraries below them.
# Tests follow the same rule: tests/kernels see only the kernels, tests/core nothing of ui, tests/base
# the plain layer, tests/cli/terminal and tests/cli/order_cache their library.
#   tools/check_layers.sh [SOURCE_DIR]
set -uo pipefail
root=${1:-$(cd "$(dirname "$0")/.." && pwd)}
cd "$root" || exit 2

rank_of_layer() {
    case "$1" in
    kernels) echo 0 ;; base) echo 1 ;; core) echo 2 ;; ui) echo 3 ;; app | cli | bench) echo 4 ;; *) echo 9 ;;
    esac
}
rank_of_ui_part() {
    case "$1" in
    platform) echo 0 ;; state) echo 1 ;; shell_links) echo 2 ;; windows) echo 3 ;; main_window) echo 4 ;; *) echo 9 ;;
    esac
}
rank_of_cli_part() {
    case "$1" in
    qt_bridge) echo 0 ;; terminal) echo 1 ;; order_cache) echo 2 ;; front) echo 3 ;; *) echo 9 ;;
    esac
}

# The layer of a file, and for files of ui its part.
layer_of() {
    case "$1" in
    src/kernels/* | tests/kernels/*) echo kernels ;;
    src/base/* | tests/base/*) echo base ;;
    src/core/* | tests/core/*) echo core ;;
    src/ui/* | tests/ui/*) echo ui ;;
    app/*) echo app ;;
    cli/* | tests/cli/terminal/* | tests/cli/order_cache/*) echo cli ;;
    tests/cli/*) echo app ;; # the converter's tests compare it with the desktop program
    bench/*) echo bench ;;
    *) echo other ;;
    esac
}
ui_part_of() {
    local rest=${1#src/ui/}
    [ "$rest" = "$1" ] && { echo main_window; return; } # ui tests may use every part
    echo "${rest%%/*}"
}

# The converter's part a file of the cli layer belongs to.
cli_part_of() {
    case "$1" in
    cli/qt_bridge/*) echo qt_bridge ;;
    cli/terminal/* | tests/cli/terminal/*) echo terminal ;;
    cli/order_cache/* | tests/cli/order_cache/*) echo order_cache ;;
    *) echo front ;;
    esac
}

status=0
report() {
    echo "$1: $2"
    status=1
}

while IFS= read -r file; do
    layer=$(layer_of "$file")
    [ "$layer" = other ] && continue
    own=$(rank_of_layer "$layer")
    lineno=0
    while IFS= read -r line; do
        lineno=$((lineno + 1))
        [[ "$line" =~ ^[[:space:]]*#[[:space:]]*include[[:space:]]*([\"\<])([^\"\>]+) ]] || continue
        delimiter=${BASH_REMATCH[1]}
        target=${BASH_REMATCH[2]}
        where="$file:$lineno"
        if [[ "$target" == ../* || "$target" == */../* ]]; then
            report "$where" "includes \"$target\" by a relative path; name the library's folder instead"
            continue
        fi
        # Qt in any spelling: <QString>, <QtCore>, <QtGui/QImage>, <qstring.h>.
        qt=false
        [[ "$target" =~ ^Q[A-Za-z]*(\.h)?$|^Qt[A-Za-z]*/ ]] && qt=true
        [ "$delimiter" = "<" ] && [[ "$target" =~ ^q[a-z]*\.h$ ]] && qt=true
        if $qt && { [ "$layer" = kernels ] || [ "$layer" = base ]; }; then
            report "$where" "$layer includes Qt ($target)"
            continue
        fi
        if [ "$layer" = cli ] && [ "$file" != cli/qt_bridge/qt_module.cpp ]; then
            if $qt || [[ "$target" == core/* ]]; then
                report "$where" "the converter includes $target, which only its Qt module may"
                continue
            fi
        fi
        top=${target%%/*}
        if [ "$top" = "$target" ]; then
            # A library of the converter reaches a header by its bare name only in its own folder.
            if [ "$delimiter" = '"' ] && [ "$layer" = cli ] && [ "$(cli_part_of "$file")" != front ] &&
                [ ! -f "$(dirname "$file")/$target" ]; then
                report "$where" "includes \"$target\", which is not in its own folder"
            fi
            continue
        fi
        case "$top" in
        kernels | base | core | ui) ;;
        qt_bridge | terminal | order_cache)
            if [ "$own" -lt 4 ]; then
                report "$where" "$layer includes $target from the converter, a layer above it"
            elif [ "$layer" = cli ] &&
                [ "$(rank_of_cli_part "$top")" -gt "$(rank_of_cli_part "$(cli_part_of "$file")")" ]; then
                report "$where" "cli/$(cli_part_of "$file") includes $target from cli/$top, a part above it"
            fi
            continue
            ;;
        support)
            if [ "$layer" = kernels ] || [ "$layer" = base ] ||
                { [ "$layer" = core ] && [ "$target" = support/fixture.h ]; }; then
                report "$where" "includes $target, which links a higher layer than $layer"
            fi
            continue
            ;;
        *) continue ;;
        esac
        theirs=$(rank_of_layer "$top")
        if [ "$layer" = cli ] && [ "$top" = ui ]; then
            report "$where" "the converter includes $target from ui"
        elif [ "$theirs" -gt "$own" ]; then
            report "$where" "$layer includes $target from $top, a layer above it"
        elif [ "$layer" = ui ] && [ "$top" = ui ] && [[ "$file" == src/ui/* ]]; then
            mine=$(ui_part_of "$file")
            part=${target#ui/}
            part=${part%%/*}
            if [ "$(rank_of_ui_part "$part")" -gt "$(rank_of_ui_part "$mine")" ]; then
                report "$where" "ui/$mine includes $target from ui/$part, a part above it"
            fi
        fi
    done <"$file"
done < <(find src app cli tests bench -type f \( -name '*.h' -o -name '*.cpp' \) 2>/dev/null | sort)

# Headers that include each other in a circle, each include resolved as the compiler finds it: by a
# library's root name, or beside the file that includes it (for the converter's front end, also in cli/).
sources=$(find src app cli tests bench -type f \( -name '*.h' -o -name '*.cpp' \) 2>/dev/null | sort)
# shellcheck disable=SC2086 # the file names hold no spaces
edges=$(awk -v list="$sources" '
    BEGIN { n = split(list, all, "\n"); for (i = 1; i <= n; i++) known[all[i]] = 1 }
    /^[[:space:]]*#[[:space:]]*include[[:space:]]*"/ {
        t = $0; sub(/^[^"]*"/, "", t); sub(/".*/, "", t)
        top = t; sub(/\/.*/, "", top)
        dir = FILENAME; sub(/\/[^\/]*$/, "", dir)
        if (top == t) { h = dir "/" t; if (!(h in known) && FILENAME ~ /^(tests\/)?cli\//) h = "cli/" t }
        else if (top ~ /^(kernels|base|core|ui)$/) h = "src/" t
        else if (top ~ /^(qt_bridge|terminal|order_cache)$/) h = "cli/" t
        else if (top == "support") { h = t; sub(/^support\//, "tests/support/", h) }
        else next
        if (h in known) print FILENAME, h
    }' $sources)
if ! loops=$(tsort <<<"$edges" 2>&1 >/dev/null); then
    report "include circle" "$(grep -v 'input contains a loop' <<<"$loops" | sed 's/^tsort: //' | tr '\n' ' ')"
fi

[ $status -eq 0 ] && echo "layering: every include points downward, and no headers include each other in a circle"
exit $status
