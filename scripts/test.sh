#!/usr/bin/env bash
# Builds everything with AddressSanitizer and UndefinedBehaviorSanitizer and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake --preset sanitize
cmake --build --preset sanitize -j "$(nproc)"
# A failed test is run up to twice more before the run counts as failed. Two end-to-end tests
# against a real X server fail intermittently and their cause is not found yet: a message box closed
# by an xdotool click (an X error ends the process) and a second headless copy restoring the first
# (about one run in three). A steady fault still fails the run.
ctest --preset sanitize -j "$(nproc)" --timeout 600 --repeat until-pass:3
