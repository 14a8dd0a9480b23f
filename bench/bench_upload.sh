#!/usr/bin/env bash
# Peak memory of uploading a 200 MB recording, against the same program uploading 4 MB.
# Usage: bench/bench_upload.sh <build dir>   (a build without sanitizers gives true figures)
set -euo pipefail
bin="${1:?build dir}/bench/bench_upload"

peak_kb() {
    TAVRO_BENCH_UPLOAD_MB="$1" /usr/bin/time -v "$bin" --benchmark_counters_tabular=true \
        2> >(grep "Maximum resident set size" | awk "{print \$NF}" > "$2") | grep BM_
    wait
}

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
peak_kb 4 "$tmp/base"
peak_kb 200 "$tmp/full"
base=$(cat "$tmp/base")
full=$(cat "$tmp/full")
echo "peak RSS, 4 MB upload:   ${base} kB"
echo "peak RSS, 200 MB upload: ${full} kB"
echo "growth for 196 MB more:  $(( (full - base) / 1024 )) MB (limit 20 MB)"
