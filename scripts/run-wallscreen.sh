#!/usr/bin/env bash
# Installs what is missing, builds the release and runs the wall screen. With no display it starts
# a private X server (Xvfb), runs the wall screen there and keeps a screenshot of it up to date.
# Ctrl-C stops everything it started.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake --preset release
cmake --build --preset release -j"$(nproc)"

program=(build/release/src/app/wallscreen)
if [ ! -x "${program[0]}" ]; then
    echo "run-wallscreen: the build did not produce ${program[0]}" >&2
    exit 1
fi

# The demo job database, made once, and an engine configuration whose alias YardData names it.
# The configuration is handed to this run alone (YARD_ENGINE_CONFIG), so a wall screen set up
# for the workshop never falls back to the demo jobs.
demo_dir="$PWD/build/demo-jobs"
if [ ! -f "$demo_dir/OrderHead.DB" ]; then
    echo "Creating the demo job database in $demo_dir"
    mkdir -p "$demo_dir"
    build/release/tools/jobsdb/jobsdb --dir "$demo_dir" demo
fi
config="$PWD/build/demo-engine.ini"
printf '[YardData]\nDRIVER=DESKTOP\nPATH=%s\n' "$demo_dir" >"$config"
export YARD_ENGINE_CONFIG="$config"

if [ -n "${DISPLAY:-}" ]; then
    exec "${program[@]}"
fi

screenshot="$PWD/build/wallscreen-screenshot.png"
echo "No DISPLAY is set: starting a private X server (Xvfb) for the wall screen."
if ! command -v Xvfb >/dev/null; then
    echo "run-wallscreen: Xvfb is not installed (Debian package xvfb); install it or set DISPLAY." >&2
    exit 1
fi

workdir=$(mktemp -d)
xvfb_pid=""
program_pid=""
cleanup() {
    trap - EXIT INT TERM
    if [ -n "$program_pid" ] && kill -0 "$program_pid" 2>/dev/null; then
        kill -TERM "$program_pid" 2>/dev/null || true
        # The wall screen closes its windows on SIGTERM; give it a moment before insisting.
        for _ in 1 2 3 4 5 6 7 8 9 10; do
            kill -0 "$program_pid" 2>/dev/null || break
            sleep 0.2
        done
        kill -KILL "$program_pid" 2>/dev/null || true
    fi
    if [ -n "$xvfb_pid" ]; then
        kill -TERM "$xvfb_pid" 2>/dev/null || true
        wait "$xvfb_pid" 2>/dev/null || true
    fi
    rm -rf "$workdir"
}
trap cleanup EXIT
trap 'echo; echo "Stopping the wall screen."; exit 130' INT TERM

# Xvfb chooses a free display number itself and writes it to the descriptor we give it.
Xvfb -displayfd 3 -screen 0 1200x1920x24 -nolisten tcp 3>"$workdir/display" 2>"$workdir/xvfb.log" &
xvfb_pid=$!
for _ in $(seq 1 100); do
    [ -s "$workdir/display" ] && break
    if ! kill -0 "$xvfb_pid" 2>/dev/null; then
        echo "run-wallscreen: Xvfb did not start:" >&2
        cat "$workdir/xvfb.log" >&2
        exit 1
    fi
    sleep 0.1
done
if [ ! -s "$workdir/display" ]; then
    echo "run-wallscreen: Xvfb did not report a display within ten seconds." >&2
    exit 1
fi
display=":$(head -n1 "$workdir/display" | tr -d '[:space:]')"

# The wall screen writes its window to WALLSCREEN_SCREENSHOT after every paint.
DISPLAY="$display" WALLSCREEN_SCREENSHOT="$screenshot" "${program[@]}" &
program_pid=$!
echo "The wall screen runs on the private display $display (1200 x 1920)."
echo "Its screenshot is kept up to date at: $screenshot"
echo "Press Ctrl-C to stop."
status=0
wait "$program_pid" || status=$?
program_pid=""
exit "$status"
