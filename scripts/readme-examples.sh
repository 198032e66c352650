#!/usr/bin/env bash
# Runs the README's example commands exactly as written: every ```sh block, each in a fresh
# temporary directory, with whatever jobsdb and wallscreen-snapshot are on PATH (the build's
# tools, or a package's). A block right after a line "<!-- not run by the README test: ... -->"
# is left out (it installs, builds or runs for ever); the reason is in the comment.
# Usage: scripts/readme-examples.sh [README.md]
set -euo pipefail
readme=$(realpath "${1:-$(dirname "$0")/../README.md}")

for tool in jobsdb wallscreen-snapshot; do
    if ! command -v "$tool" >/dev/null; then
        echo "readme-examples: $tool is not on PATH" >&2
        exit 1
    fi
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Splits the README into one file per runnable block: block-N.sh, with its first line number.
awk -v out="$work" '
    /^<!-- not run by the README test:/ { skip = 1; next }
    /^```sh[[:space:]]*$/ && !inside { inside = 1; n++; file = sprintf("%s/block-%02d.sh", out, n);
                                       printf "" > file; lines[n] = NR; skipped[n] = skip; skip = 0; next }
    /^```/ && inside { inside = 0; close(file); next }
    inside { print >> file; next }
    /[^[:space:]]/ { skip = 0 }
    END { for (i = 1; i <= n; i++) printf "%s %d %d\n", sprintf("%s/block-%02d.sh", out, i), lines[i], skipped[i] > (out "/index") }
' "$readme"

ran=0
failed=0
while read -r block line skipped; do
    if [ "$skipped" = 1 ]; then
        echo "README line $line: not run (marked)"
        continue
    fi
    dir="$work/run-$line"
    mkdir "$dir"
    echo "README line $line:"
    sed 's/^/    $ /' "$block"
    if (cd "$dir" && bash -euo pipefail "$block") >"$dir.out" 2>&1; then
        ran=$((ran + 1))
    else
        echo "readme-examples: the block at README line $line failed:" >&2
        cat "$dir.out" >&2
        failed=$((failed + 1))
    fi
done <"$work/index"

echo "readme-examples: $ran blocks ran, $failed failed"
[ "$ran" -gt 0 ] && [ "$failed" -eq 0 ]
