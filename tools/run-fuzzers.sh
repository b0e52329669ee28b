#!/usr/bin/env bash
# Builds the libFuzzer targets with clang in a build folder of their own and runs
# each for a bounded number of inputs, starting from its seed corpus in
# tests/fuzz/corpus/<target>. A crash, a sanitizer report, a leak, a time-out or an
# out-of-memory stops the run with a non-zero status; the offending input is kept
# in <build folder>/artifacts for reproduction:
#     <build folder>/tests/fuzz/fuzz_<target> <build folder>/artifacts/<file>
#
# Settings (environment): WRENDLE_FUZZ_BUILD_DIR (build-fuzz), WRENDLE_FUZZ_RUNS
# (20000 inputs per target), WRENDLE_FUZZ_LARGE_RUNS (1000 for the large-input
# target), WRENDLE_FUZZ_JOBS (2 build jobs), WRENDLE_FUZZ_SEED
# (1; 0 for a fresh random seed each run, printed at the start).
set -euo pipefail
cd "$(dirname "$0")/.."

build_dir="${WRENDLE_FUZZ_BUILD_DIR:-build-fuzz}"
runs="${WRENDLE_FUZZ_RUNS:-20000}"
jobs="${WRENDLE_FUZZ_JOBS:-2}"
seed="${WRENDLE_FUZZ_SEED:-1}" # fixed, so CI runs are reproducible; 0 lets libFuzzer pick one

cmake -S . -B "$build_dir" \
    -DWRENDLE_FUZZ=ON \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_C_COMPILER=clang \
    -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build "$build_dir" -j"$jobs"

artifacts="$build_dir/artifacts"
mkdir -p "$artifacts"

# Inputs the fuzzer finds go to a scratch folder (the first corpus argument), so
# the checked-in seeds stay as they are.
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT

export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"

# run_target <target> <runs> <max_len> <timeout in s>
run_target() {
    echo "== fuzz_$1: $2 runs of up to $3 bytes, $4 s each at most"
    mkdir -p "$scratch/$1"
    "$build_dir/tests/fuzz/fuzz_$1" \
        -runs="$2" \
        -seed="$seed" \
        -max_len="$3" \
        -timeout="$4" \
        -rss_limit_mb=2048 \
        -print_final_stats=1 \
        -artifact_prefix="$artifacts/$1-" \
        "$scratch/$1" "tests/fuzz/corpus/$1"
}

for target in host_state preset_loading news_parser; do
    run_target "$target" "$runs" 16384 10
done

# Large inputs, built by repetition inside the target from a small one, each with a
# time budget: a reader whose cost grows faster than its input shows as a time-out.
# Fewer runs, as each input is large.
run_target host_state_repeated "${WRENDLE_FUZZ_LARGE_RUNS:-1000}" 256 5

echo "All fuzz targets ran their inputs without a finding."
