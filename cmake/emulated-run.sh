#!/usr/bin/env bash
# The emulated run of a 32-bit test program (see WineTests.cmake):
#   emulated-run.sh BUILD_DIR PROGRAM EXCLUDED_LIST OTHER_COUNT OTHER_TEXT
# OTHER_COUNT entries of a native run (OTHER_TEXT says which) are not run
# here at all.
# Runs PROGRAM once through the build tree's Wine wrapper, without the tests
# that EXCLUDED_LIST names, and writes the suite's closing line to
# BUILD_DIR/test-env/suite-summary.txt. Fails when a test failed, when the
# program did not report, or when no test ran at all.
set -uo pipefail
build="$1"
program="$2"
excluded="$3"
other_count="$4"
other_text="$5"
state="$build/test-env"
mkdir -p "$state"
report="$state/emulated-report.xml"
all_tests="$state/emulated-all-tests.txt"
summary="$state/suite-summary.txt"
rm -f "$report" "$all_tests" "$summary"

patterns="$(sed -e 's/#.*//' -e 's/[[:space:]]//g' "$excluded" | grep -v '^$' | paste -sd: -)"
. "$(dirname "$0")/wine-loader.sh"
if wine32_emulated; then
    reason="this machine cannot execute 32-bit programs natively"
else
    reason="VANTORA_EMULATE_32BIT=1 chose the emulated branch"
fi

echo "emulated run of $(basename "$program") (each start of a 32-bit program takes about a minute)"
windows() { echo "Z:$1" | tr '/' '\\'; }
VANTORA_EMULATED_RUN=1 VANTORA_TEST_LIST="$(windows "$all_tests")" "$build/wine-run.sh" "$program" "--gtest_filter=-$patterns" \
    "--gtest_output=xml:$(windows "$report")"
rc=$?

python3 - "$report" "$all_tests" "$rc" "$other_count" "$other_text" "$reason" "$summary" <<'PY'
import sys
import xml.etree.ElementTree as ElementTree

report, all_tests, rc, other_count, other_text, reason, summary = sys.argv[1:]
try:
    root = ElementTree.parse(report).getroot()
    with open(all_tests) as names:
        every_test = [line.strip() for line in names if line.strip()]
except (OSError, ElementTree.ParseError) as error:
    print(f"FAIL: the test program wrote no report ({error}); exit code {rc}")
    sys.exit(1)
ran, failed = set(), []
for suite in root.iter("testsuite"):
    for case in suite.iter("testcase"):
        if case.get("status") == "run":
            name = f"{suite.get('name')}.{case.get('name')}"
            ran.add(name)
            if case.find("failure") is not None:
                failed.append(name)
left_out = {}
for name in every_test:
    if name not in ran:
        suite, _, test = name.partition(".")
        left_out.setdefault(suite, []).append(test)
not_run = len(every_test) - len(ran)
ran = len(ran)
print("not run under emulation (other programs, windows, network, writer threads): " +
      ", ".join(f"{suite} ({len(names)})" for suite, names in sorted(left_out.items())) +
      f"; {other_text}")
line = (f"32-bit suite: {ran} tests run under emulation; {not_run + int(other_count)} not run "
        f"({not_run} that start programs, open windows, use the network or write on several threads, "
        f"{other_text}): "
        f"{reason}")
with open(summary, "w") as out:
    out.write(line + "\n")
print(line)
if failed:
    print("FAIL: " + ", ".join(failed))
if ran == 0:
    print("FAIL: no test ran")
sys.exit(1 if failed or ran == 0 or rc != "0" else 0)
PY
