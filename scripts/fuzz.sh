#!/usr/bin/env bash
# Builds the fuzz targets with clang (libFuzzer, AddressSanitizer, UndefinedBehaviorSanitizer, every
# library of ours instrumented for coverage) and runs each of them: first once over every input that
# ever made it fail (fuzz/<module>/regressions/<target>/) and its seed corpus, then for a bounded
# time (FUZZ_SECONDS, 30 by default) from that corpus. A failure leaves the input in
# build/fuzz/findings/<target>/: add it to the target's regressions folder with the fix.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds="${FUZZ_SECONDS:-30}"
cmake --preset fuzz
cmake --build --preset fuzz -j "$(nproc)"

# target  module folder  corpus folder below it
targets=(
    "color_fuzz app corpus"
    "picture_fuzz data corpus"
    "engine_fuzz engine corpus"
    "filter_parse_fuzz filters corpus/parse"
    "filter_eval_fuzz filters corpus/eval"
    "fuzz_description ui corpus"
)

export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
failed=()
for entry in "${targets[@]}"; do
    read -r target module corpus <<<"$entry"
    binary="$(find build/fuzz/fuzz -type f -name "$target" -perm -u+x | head -n 1)"
    if [ -z "$binary" ]; then
        echo "fuzz: $target was not built" >&2
        failed+=("$target")
        continue
    fi
    regressions="fuzz/$module/regressions/$target"
    findings="build/fuzz/findings/$target"
    work="build/fuzz/corpus/$target"
    rm -rf "$findings" "$work"
    mkdir -p "$findings" "$work"
    # Every input kept once runs again, each on its own.
    inputs=()
    [ -d "$regressions" ] && inputs+=("$regressions"/*)
    inputs+=("fuzz/$module/$corpus"/*)
    if ! "$binary" -runs=1 "${inputs[@]}" >"$findings/regressions.log" 2>&1; then
        echo "fuzz: $target fails on a kept input:" >&2
        tail -n 40 "$findings/regressions.log" >&2
        failed+=("$target")
        continue
    fi
    # New inputs the run finds go to a scratch corpus, never into the source tree.
    echo "fuzz: $target for $seconds s"
    if ! "$binary" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
        -artifact_prefix="$findings/" "$work" "fuzz/$module/$corpus" >"$findings/run.log" 2>&1; then
        echo "fuzz: $target failed; the input is in $findings/ (keep it in $regressions/ with the fix):" >&2
        tail -n 40 "$findings/run.log" >&2
        failed+=("$target")
        continue
    fi
    grep -E "stat::number_of_executed_units|cov:" "$findings/run.log" | tail -n 2 || true
done

if [ ${#failed[@]} -gt 0 ]; then
    echo "fuzz: failed: ${failed[*]}" >&2
    exit 1
fi
echo "fuzz: all ${#targets[@]} targets passed"
