#!/usr/bin/env bash
# Fails when a file of src/ includes a file of a higher layer (or a sibling layer), or when the
# includes between modules (a header with its source file) form a loop. The layers, lowest first, are those of docs/ARCHITECTURE.md.
# Usage: check-layers.sh [ROOT]  (ROOT holds src/; the repository by default)
set -euo pipefail
cd "${1:-$(dirname "$0")/..}"

rank() {
    case "$1" in
    dsp) echo 0 ;;
    link) echo 1 ;;
    model) echo 2 ;;
    plugs) echo 3 ;;
    dispatch) echo 4 ;;
    sync | files | sim) echo 5 ;;
    cli) echo 6 ;;
    ui) echo 10 ;;
    controls) echo 11 ;;
    pages) echo 12 ;;
    app) echo 13 ;;
    *) echo -1 ;;
    esac
}

status=0
edges=$(mktemp)
trap 'rm -f "$edges"' EXIT
while IFS= read -r file; do
    from=${file#src/}
    from_layer=${from%%/*}
    from_rank=$(rank "$from_layer")
    if [ "$from_rank" -lt 0 ]; then
        echo "layer check: $file is in no known layer" >&2
        status=1
        continue
    fi
    while IFS= read -r target; do
        [ -n "$target" ] || continue
        to_layer=${target%%/*}
        to_rank=$(rank "$to_layer")
        [ "$to_rank" -ge 0 ] || continue # a Qt or system header written with quotes
        [ -f "src/$target" ] && [ "${target%.*}" != "${from%.*}" ] && echo "${target%.*} ${from%.*}" >>"$edges"
        if [ "$to_layer" != "$from_layer" ]; then
            if [ "$to_rank" -gt "$from_rank" ] || [ "$to_rank" -eq "$from_rank" ] || [ "$to_layer" = cli ]; then
                echo "layer check: $file includes $target ($from_layer may not use $to_layer)" >&2
                status=1
            fi
        fi
    done < <(sed -n 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"\([^"]*\)".*/\1/p' "$file")
done < <(find src -name '*.h' -o -name '*.cpp' | sort)

# tsort reports a loop in the module-level include graph.
if ! tsort "$edges" >/dev/null 2>"$edges.err"; then
    echo "layer check: include loop:" >&2
    cat "$edges.err" >&2
    status=1
fi
rm -f "$edges.err"

[ "$status" -eq 0 ] && echo "layer check: no upward include, no loop"
exit "$status"
