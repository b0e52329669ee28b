#!/usr/bin/env bash
# Builds everything and runs the whole test suite. Tests that need a display
# get a virtual one; none of them needs a real one.
set -euo pipefail
cd "$(dirname "$0")/.."

bash tools/install-dependencies.sh

# The house style is .clang-format: unformatted code fails the run before the build.
bash tools/check-format.sh

build_dir="${WRENDLE_BUILD_DIR:-build}"
cmake -B "$build_dir" -DCMAKE_BUILD_TYPE=Release ${WRENDLE_CMAKE_ARGS:-}
cmake --build "$build_dir" -j"$(nproc)"

# Without a display, the GUI tests get a virtual one.
runner=()
if [ -z "${DISPLAY:-}" ]; then
    runner=(xvfb-run -a -s "-screen 0 1280x1024x24")
fi
"${runner[@]}" ctest --test-dir "$build_dir" --output-on-failure -j"$(nproc)"

# The Debian package, made from what the build above installs, and checked
# with dpkg-deb and lintian.
rm -f "$build_dir"/wrendle-fold_*_amd64.deb
(cd "$build_dir" && cpack -G DEB > /dev/null)
bash tests/formats/package_test.sh "$build_dir"/wrendle-fold_*_amd64.deb

# The parsers that read untrusted bytes (host state, presets, news) are fuzzed
# for a bounded number of inputs; any crash fails the run.
bash tools/run-fuzzers.sh
