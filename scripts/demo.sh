#!/usr/bin/env bash
# Installs whatever is missing and builds both launcher programs.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh x64 win7 >/dev/null
echo "Built:"
echo "  $(pwd)/build/x64/Tessaly.exe"
echo "  $(pwd)/build/win7/Tessaly Win7.exe"
