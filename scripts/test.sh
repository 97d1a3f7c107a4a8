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
    ctest --preset "$preset" || status=1
done
for preset in x64 win7; do
    cat "build/$preset/test-env/suite-summary.txt" 2>/dev/null || true
done
exit "$status"
