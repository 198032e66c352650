#!/usr/bin/env bash
# Checks the layering of the includes, then builds everything with AddressSanitizer and
# UndefinedBehaviorSanitizer and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."

# No module includes one above it; checked before anything is built.
scripts/check-includes.sh
scripts/install-deps.sh
cmake --preset sanitize
cmake --build --preset sanitize -j "$(nproc)"
ctest --preset sanitize -j "$(nproc)" --timeout 600
