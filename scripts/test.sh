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
    ctest --preset "$preset" || status=1
done
exit "$status"
