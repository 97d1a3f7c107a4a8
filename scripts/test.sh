#!/usr/bin/env bash
# Installs whatever is missing, builds both programs and runs both test
# suites under Wine. Exits non-zero when anything fails.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/check-format.sh
scripts/build.sh x64 win7
status=0
for preset in x64 win7; do
    echo "== tests: $preset"
    # A suite that cannot run every test writes a closing line that says so.
    rm -f "build/$preset/test-env/suite-summary.txt"
    # A new Wine prefix takes minutes to set up (longer where its 32-bit
    # parts run under emulation): done here, before any test's time limit.
    "build/$preset/wine-run.sh" cmd /c exit </dev/null >/dev/null 2>&1 || true
    ctest --preset "$preset" || status=1
done
for preset in x64 win7; do
    cat "build/$preset/test-env/suite-summary.txt" 2>/dev/null || true
done
exit "$status"
