#!/usr/bin/env bash
# Installs what the build needs (Debian 12), builds, and runs every test:
#   1. a normal build with every test, and its Debian package checked by lintian,
#   2. an ASan + UBSan build of the core and widget tests,
#   3. a ThreadSanitizer build of the link, procedure and simulator tests,
#   4. a short run of each fuzz target when clang is installed.
set -euo pipefail
cd "$(dirname "$0")/.."

source scripts/deps.sh

JOBS=$(nproc)
FUZZ_SECONDS=${M7Q_FUZZ_SECONDS:-20}

echo "== Layers: no include goes up a layer, no include loop"
bash scripts/check-layers.sh

echo "== Build and test"
cmake -S . -B build/ci -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build/ci -j "$JOBS"
ctest --test-dir build/ci -j "$JOBS" --output-on-failure

echo "== Debian package, checked by lintian: errors and warnings fail"
rm -f build/ci/m7q-console_*.deb
(cd build/ci && cpack -G DEB >/dev/null)
lintian_ok=0
lintian --fail-on error,warning --display-info build/ci/m7q-console_*.deb >build/ci/lintian.log 2>&1 || lintian_ok=$?
grep -v '^running with root' build/ci/lintian.log || true
[ "$lintian_ok" -eq 0 ] || { echo "lintian found errors or warnings"; exit 1; }
echo "lintian: no error, no warning"

echo "== Core and widget tests under AddressSanitizer and UndefinedBehaviorSanitizer"
cmake -S . -B build/ci-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DM7Q_SANITIZE=ON -DM7Q_BENCH=OFF
cmake --build build/ci-asan -j "$JOBS" --target m7q_core_tests m7q_controls_tests m7q_pages_tests m7q_app_tests m7q_soak
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    ctest --test-dir build/ci-asan -j "$JOBS" --output-on-failure -E '^m7qctl'

echo "== Link, procedure and simulator tests under ThreadSanitizer"
cmake -S . -B build/ci-tsan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DM7Q_TSAN=ON -DM7Q_CORE_ONLY=ON
cmake --build build/ci-tsan -j "$JOBS" --target m7q_core_tests
TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 \
    ctest --test-dir build/ci-tsan -j "$JOBS" --output-on-failure -R 'Transport|Sync|Sim|Codec|Doctor|PollToken|Compare'

if command -v clang++ >/dev/null 2>&1; then
    echo "== Fuzzing, ${FUZZ_SECONDS} s a target"
    CXX=clang++ cmake -S . -B build/ci-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DM7Q_FUZZ=ON
    cmake --build build/ci-fuzz -j "$JOBS"
    for target in build/ci-fuzz/fuzz_*; do
        [ -x "$target" ] || continue
        name=$(basename "$target")
        mkdir -p "build/ci-fuzz/corpus-$name"
        "$target" -max_total_time="$FUZZ_SECONDS" -print_final_stats=0 "build/ci-fuzz/corpus-$name" \
            >"build/ci-fuzz/$name.log" 2>&1 || { tail -n 40 "build/ci-fuzz/$name.log"; exit 1; }
        echo "$name: $(grep -c 'NEW' "build/ci-fuzz/$name.log" || true) new inputs, no crash"
    done
else
    echo "== clang++ not installed: fuzzing skipped"
fi

# The last word is the full test run's, so that CI reads its count.
ctest --test-dir build/ci -j "$JOBS" 2>&1 | grep -E '^[0-9]+% tests passed'
