#!/usr/bin/env bash
# Fails when a source file includes a header from a layer above its own. The layers, bottom up:
#   kernels <- base (neither includes Qt) <- core <- ui <- app,   and   cli -> base -> kernels.
# The converter sees neither ui nor, but for its Qt module (cli/qt_module.cpp), core or Qt.
# Inside ui: platform <- state <- shell_links <- windows <- main_window.
# Tests follow the same rule: tests/kernels see only the kernels, tests/core nothing of ui.
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

# The layer of a file, and for files of ui its part.
layer_of() {
    case "$1" in
    src/kernels/* | tests/kernels/*) echo kernels ;;
    src/base/* | tests/base/*) echo base ;;
    src/core/* | tests/core/*) echo core ;;
    src/ui/* | tests/ui/*) echo ui ;;
    app/*) echo app ;;
    cli/*) echo cli ;;
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
        if [ "$layer" = cli ] && [ "$file" != cli/qt_module.cpp ]; then
            if $qt || [[ "$target" == core/* ]]; then
                report "$where" "the converter includes $target, which only its Qt module may"
                continue
            fi
        fi
        top=${target%%/*}
        [ "$top" = "$target" ] && continue
        case "$top" in
        kernels | base | core | ui) ;;
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

[ $status -eq 0 ] && echo "layering: every include points downward"
exit $status
