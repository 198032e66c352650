#!/usr/bin/env bash
# Fails when a module includes a module above it. The modules of src/, from the bottom up: each may
# include itself and those before it. A new module goes into the list at its place; a folder of
# src/ that is not in the list is an error. tools/ may include every module (and other tools);
# tests/, bench/ and fuzz/ may include anything and are not checked.
set -euo pipefail
cd "$(dirname "$0")/.."

LAYERS=(base platform engine ui data jobs grid app)
# Folders of headers the build generates for the module that includes them.
GENERATED=(descriptions)

declare -A RANK
for i in "${!LAYERS[@]}"; do
    RANK[${LAYERS[$i]}]=$i
done

failed=0
fail() {
    echo "$1" >&2
    failed=1
}

for dir in src/*/; do
    module=$(basename "$dir")
    [[ -n ${RANK[$module]+set} ]] || fail "src/$module: a module missing from the layer list in $0"
done

while IFS= read -r match; do
    file=${match%%:*}
    rest=${match#*:}
    line=${rest%%:*}
    header=${rest#*\"}
    header=${header%%\"*}
    if [[ $header == *../* ]]; then
        fail "$file:$line: \"$header\" climbs out of its folder; name headers from src/ or beside the file"
        continue
    fi
    # A header beside the including file, or named relative to it.
    [[ $header == */* && ! -e ${file%/*}/$header ]] || continue
    top=${header%%/*}
    [[ " ${GENERATED[*]} " != *" $top "* ]] || continue
    case $file in
    src/*)
        module=${file#src/}
        module=${module%%/*}
        [[ -n ${RANK[$module]+set} ]] || continue # reported above
        if [[ -z ${RANK[$top]+set} ]]; then
            fail "$file:$line: includes \"$header\", which is in no module of the layer list"
        elif ((RANK[$top] > RANK[$module])); then
            fail "$file:$line: $module includes \"$header\" of $top, a module above it"
        fi
        ;;
    tools/*)
        if [[ ! -e src/$header && ! -e tools/$header ]]; then
            fail "$file:$line: a tool includes \"$header\", which is neither a module's nor a tool's"
        fi
        ;;
    esac
done < <(grep -rnE --include='*.h' --include='*.cpp' '^[[:space:]]*#[[:space:]]*include[[:space:]]*"' src tools)

if ((failed)); then
    echo "check-includes: modules include upwards (order: ${LAYERS[*]})" >&2
    exit 1
fi
