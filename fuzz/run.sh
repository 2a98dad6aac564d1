#!/bin/sh
# Builds the fuzz targets with clang and runs each one in turn for a while.
#   FUZZ_SECONDS  seconds per target (60)
#   FUZZ_TARGETS  which targets (all)
#   FUZZ_BUILD    build directory (build-fuzz)
#   FUZZ_OUT      where each target's grown corpus, log and findings go (fuzz-out)
# Exits non-zero when a target found something; its input is in FUZZ_OUT/<target>/findings/.
set -u
cd "$(dirname "$0")/.."

build=${FUZZ_BUILD:-build-fuzz}
seconds=${FUZZ_SECONDS:-60}
out=${FUZZ_OUT:-fuzz-out}
targets=${FUZZ_TARGETS:-"fuzz_decode fuzz_extract fuzz_trid fuzz_replay fuzz_receipt fuzz_config fuzz_compactjson"}

mkdir -p "$out"
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-g -O1" \
    -DCMAKE_CXX_COMPILER=clang++ -DVELMOR_BUILD_FUZZ=ON -DVELMOR_BUILD_TESTS=OFF \
    -DVELMOR_SANITIZE=address,undefined >"$out/configure.log" 2>&1 ||
    { cat "$out/configure.log"; exit 1; }
# shellcheck disable=SC2086
if ! cmake --build "$build" -j "$(nproc)" --target $targets >"$out/build.log" 2>&1; then
    tail -40 "$out/build.log"
    exit 1
fi

passed=0
failed=0
for target in $targets; do
    case $target in
    fuzz_config) dict=fuzz/dict/ini.dict ;;
    *) dict=fuzz/dict/json.dict ;;
    esac
    # A replay message is small; longer inputs would only slow every exchange down.
    case $target in
    fuzz_replay) max_len=1024 ;;
    *) max_len=4096 ;;
    esac
    mkdir -p "$out/$target/corpus" "$out/$target/findings"
    # The inputs that once failed are run first, with the seeds.
    regressions=
    [ -d "fuzz/regressions/$target" ] && regressions="fuzz/regressions/$target"
    echo "fuzzing $target for $seconds s"
    # shellcheck disable=SC2086
    if "$build/bin/$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
        -max_len="$max_len" -dict="$dict" -print_final_stats=1 \
        -artifact_prefix="$out/$target/findings/" \
        "$out/$target/corpus" "fuzz/corpus/$target" $regressions >"$out/$target/log" 2>&1; then
        passed=$((passed + 1))
        grep -E '^stat::number_of_executed_units' "$out/$target/log" | sed "s/^/  $target /"
    else
        failed=$((failed + 1))
        echo "  $target FAILED: see $out/$target/log and $out/$target/findings/"
        grep -E 'ERROR|invariant broken|SUMMARY' "$out/$target/log" | head -5 | sed 's/^/    /'
    fi
done
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
