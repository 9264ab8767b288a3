#!/bin/bash
# Builds the fuzz targets with clang, libFuzzer, AddressSanitizer and UBSan into build/fuzz, replays
# fuzz/corpus-pending/ (inputs of faults not fixed yet), then fuzzes every target for SECONDS (default
# 60) each, JOBS targets at a time (default: the number of processors). New inputs and crashes go to
# build/fuzz/work/<target>/; copy an input that showed a fault into fuzz/corpus/<target>/ once it is
# fixed, so the replay tests guard it.
#   fuzz/run.sh [SECONDS] [TARGET...]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-60}
shift || true
jobs=${JOBS:-$(nproc)}
build=$root/build/fuzz
work=$build/work

if ! command -v clang++ >/dev/null || ! ls /usr/lib/llvm-14/lib/clang/*/lib/linux/libclang_rt.fuzzer-x86_64.a >/dev/null 2>&1; then
  echo "Installing clang and its libFuzzer runtime"
  sudo=""; [ "$(id -u)" = 0 ] || sudo=sudo
  $sudo apt-get update -qq
  $sudo apt-get install -y -qq clang-14 libclang-rt-14-dev
fi
clangxx=$(command -v clang++ || command -v clang++-14)
clangc=$(command -v clang || command -v clang-14)

CC=$clangc CXX=$clangxx cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DATELIER_BUILD_FUZZ=ON -DATELIER_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" -j"$jobs" --target fuzz_all

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for f in "$root"/fuzz/corpus/*/; do targets+=("$(basename "$f")"); done
fi
export QT_QPA_PLATFORM=offscreen
# Leaks at exit of Qt's globals are not findings; the fuzzer still reports leaks per input.
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=0}

echo "== Inputs of open faults (fuzz/corpus-pending/)"
for target in "${targets[@]}"; do
  for input in "$root/fuzz/corpus-pending/$target"/*; do
    [ -f "$input" ] || continue
    if "$build/fuzz/fuzz_$target" -timeout=10 "$input" >"$work.pending.log" 2>&1; then
      echo "  fixed:  $target/$(basename "$input")  (move it to fuzz/corpus/$target/)"
    else
      echo "  fails:  $target/$(basename "$input"): $(grep -m1 -E 'FUZZ FINDING|ERROR: |runtime error|terminate|ALARM' "$work.pending.log" | cut -c1-160)"
    fi
  done
done
rm -f "$work.pending.log"

run_target() {
  local target=$1 dir=$work/$1
  mkdir -p "$dir/corpus" "$dir/artifacts"
  local seeds=("$root/fuzz/corpus/$target")
  [ -d "$root/fuzz/corpus-pending/$target" ] && seeds+=("$root/fuzz/corpus-pending/$target")
  # One fuzzing process per target that goes on after a crash, so that one known fault does not
  # hide the others.
  "$build/fuzz/fuzz_$target" "$dir/corpus" "${seeds[@]}" -fork=1 -ignore_crashes=1 -ignore_timeouts=1 \
    -ignore_ooms=1 -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=65536 \
    -artifact_prefix="$dir/artifacts/" >"$dir/log" 2>&1 || true
}
export -f run_target
export build work root seconds
# Artifacts of earlier runs stay for reference; only this run's count.
mkdir -p "$work" && touch "$work/.started"
printf '%s\n' "${targets[@]}" | xargs -P "$jobs" -I{} bash -c 'run_target {}'

echo "== Fuzzing, ${seconds}s a target"
printf '%-12s %12s %8s %8s %8s %8s %10s\n' target runs exec/s cov corpus crashes slow/oom
for target in "${targets[@]}"; do
  dir=$work/$target
  status=$(grep -E '^#[0-9]+: cov:' "$dir/log" | tail -1 || true)
  runs=$(sed -nE 's/^#([0-9]+): .*/\1/p' <<<"$status")
  execs=$(sed -nE 's/.*exec\/s:? ([0-9]+).*/\1/p' <<<"$status")
  cov=$(sed -nE 's/.* cov: ([0-9]+).*/\1/p' <<<"$status")
  corp=$(find "$dir/corpus" -type f | wc -l)
  crashes=$(find "$dir/artifacts" -type f -name "crash-*" -newer "$work/.started" | wc -l)
  other=$(find "$dir/artifacts" -type f ! -name "crash-*" -newer "$work/.started" | wc -l)
  printf '%-12s %12s %8s %8s %8s %8s %10s\n' "$target" "${runs:-?}" "${execs:-?}" "${cov:-?}" "$corp" "$crashes" "$other"
done
echo "Logs, new inputs and crashes: $work/<target>/ (log, corpus/, artifacts/)"
