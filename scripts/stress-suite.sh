#!/usr/bin/env bash
# Runs the whole suite several times at once, each run in its own test environment
# (scripts/test-env.sh), over a build folder that is already built, and reports every test that
# failed with its output. A loaded machine brings out tests that wait for time instead of for the
# condition they check; this is how such tests are found.
#
# Usage: scripts/stress-suite.sh [-n RUNS] [-r ROUNDS] [-j JOBS] [-b BUILD] [-o OUTDIR] [-k]
#                                [-- CTEST_ARGS...]
#   -n RUNS    runs started at the same time (default 3)
#   -r ROUNDS  rounds of RUNS runs, one after the other (default 1)
#   -j JOBS    parallel tests inside each run (default: the number of cores)
#   -b BUILD   the build folder (default build/asan)
#   -o OUTDIR  where logs and per-test outputs are kept (default: a new folder under /tmp)
#   -k         keep going after a failing round (default: stop at the first failing round)
#   CTEST_ARGS passed to every ctest, e.g. -R 'Window|Vision' or -L x11
# Exit status: 0 when every run of every round passed, 1 otherwise.
set -uo pipefail
cd "$(dirname "$0")/.."

runs=3 rounds=1 jobs=$(nproc) build=build/asan outdir="" keep_going=false
while getopts "n:r:j:b:o:kh" opt; do
    case $opt in
        n) runs=$OPTARG ;;
        r) rounds=$OPTARG ;;
        j) jobs=$OPTARG ;;
        b) build=$OPTARG ;;
        o) outdir=$OPTARG ;;
        k) keep_going=true ;;
        *) sed -n '2,16p' "$0" | sed 's/^# \{0,1\}//' >&2; exit 2 ;;
    esac
done
shift $((OPTIND - 1))
ctest_args=("$@")

if [ ! -f "$build/CTestTestfile.cmake" ]; then
    echo "stress-suite: $build is not a built test folder (build it first)" >&2
    exit 2
fi
build=$(cd "$build" && pwd)
[ -n "$outdir" ] || outdir=$(mktemp -d /tmp/tavro-stress.XXXXXX)
mkdir -p "$outdir"
outdir=$(cd "$outdir" && pwd)

export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:halt_on_error=1:print_stacktrace=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-halt_on_error=1:print_stacktrace=1}"
export LSAN_OPTIONS="${LSAN_OPTIONS:-suppressions=$PWD/tests/support/lsan.supp:print_suppressions=0}"
export TAVRO_NOTIFYSERVER="${TAVRO_NOTIFYSERVER:-$build/tests/support/notifyserver/tavro_test_notifyserver}"
export CI="${CI:-true}"

# Test lists are discovered when a run starts; one run discovers them first so that runs
# started together do not write the same list files at once.
if ! ctest --test-dir "$build" -N "${ctest_args[@]}" >"$outdir/discover.log" 2>&1; then
    echo "stress-suite: listing the tests failed, see $outdir/discover.log" >&2
    exit 1
fi
total=$(sed -n 's/^Total Tests: //p' "$outdir/discover.log")

# report RUNDIR: prints each failed test of one run with its output, from CTest's JUnit file.
report() {
    python3 - "$1" <<'EOF'
import sys, xml.etree.ElementTree as ET
run = sys.argv[1]
try:
    cases = ET.parse(run + "/junit.xml").getroot().iter("testcase")
except (OSError, ET.ParseError) as e:
    print(f"    (no test results: {e})")
    sys.exit(0)
for case in cases:
    if case.get("status") in ("run", "notrun", "disabled") and case.find("failure") is None:
        continue
    name, status = case.get("name"), case.get("status")
    out = case.findtext("system-out") or ""
    with open(f"{run}/" + name.replace("/", "_") + ".log", "w") as f:
        f.write(out)
    print(f"  FAILED {name} ({status}, {case.get('time')} s)")
    for line in out.rstrip().splitlines()[-80:]:
        print("    | " + line)
EOF
}

echo "stress-suite: $rounds round(s) of $runs run(s) at once, -j $jobs each, $total tests;" \
    "logs in $outdir"
bad_rounds=0
for ((round = 1; round <= rounds; round++)); do
    pids=()
    for ((run = 1; run <= runs; run++)); do
        dir="$outdir/round$round/run$run"
        mkdir -p "$dir"
        bash scripts/test-env.sh ctest --test-dir "$build" -j "$jobs" --output-on-failure \
            --no-tests=error --output-junit "$dir/junit.xml" "${ctest_args[@]}" \
            >"$dir/ctest.log" 2>&1 &
        pids+=($!)
    done
    failed_runs=0
    for ((run = 1; run <= runs; run++)); do
        dir="$outdir/round$round/run$run"
        wait "${pids[run - 1]}"
        rc=$?
        summary=$(grep -E '^[0-9]+% tests passed' "$dir/ctest.log" | tail -n 1)
        if [ "$rc" -eq 0 ]; then
            echo "round $round run $run: passed ($summary)"
            continue
        fi
        failed_runs=$((failed_runs + 1))
        echo "round $round run $run: FAILED, exit status $rc (${summary:-no summary}); $dir"
        report "$dir"
        # A run can fail without a failing test: a component of its environment did not start.
        grep -E '^test-env: (FAILED|CI:)' "$dir/ctest.log" | sed 's/^/  /'
    done
    if [ "$failed_runs" -gt 0 ]; then
        bad_rounds=$((bad_rounds + 1))
        [ "$keep_going" = true ] || break
    fi
done
echo "stress-suite: $bad_rounds failing round(s) of $((round > rounds ? rounds : round))"
[ "$bad_rounds" -eq 0 ]
