#!/usr/bin/env bash
# Runs every fuzz target of a build for a while and prints its executions and coverage.
#   scripts/run-fuzz.sh BUILD_DIR [SECONDS]     (default 30 s a target)
# The targets (BUILD_DIR/fuzz/fuzz_*) need a build configured with -DLUM_FUZZ=ON. Each runs
# on a scratch copy of its seed corpus (fuzz/corpus/<name>/), so the repository's corpus
# stays small. A crash, a sanitizer report or a broken property (an abort) fails the script;
# the input that did it is kept in the scratch folder, whose path is printed.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:?usage: scripts/run-fuzz.sh BUILD_DIR [SECONDS]}
seconds=${2:-30}

shopt -s nullglob
targets=("$build"/fuzz/fuzz_*)
if [ ${#targets[@]} -eq 0 ]; then
  echo "run-fuzz: no fuzz targets in $build/fuzz (configure with -DLUM_FUZZ=ON and clang)" >&2
  exit 1
fi

scratch=$(mktemp -d "${TMPDIR:-/tmp}/lum-fuzz.XXXXXX")
failed=0
summary=()
for target in "${targets[@]}"; do
  [ -f "$target" ] && [ -x "$target" ] || continue  # not the build system's folders
  name=$(basename "$target")
  corpus_name=${name#fuzz_}
  work="$scratch/$corpus_name"
  mkdir -p "$work/corpus" "$work/artifacts"
  if [ -d "fuzz/corpus/$corpus_name" ]; then
    cp -r "fuzz/corpus/$corpus_name/." "$work/corpus/"
  fi
  echo "=== $name: ${seconds} s"
  rc=0
  "$target" -max_total_time="$seconds" -print_final_stats=1 -max_len=4096 -timeout=10 \
    -artifact_prefix="$work/artifacts/" "$work/corpus" >"$work/log" 2>&1 || rc=$?
  execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$work/log" | tail -1)
  cov=$(grep -Eo 'cov: [0-9]+ ft: [0-9]+' "$work/log" | tail -1 || true)
  rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$work/log" | tail -1)
  if [ "$rc" -ne 0 ]; then
    failed=1
    tail -40 "$work/log"
    echo "FAILED: $name (exit $rc); inputs kept in $work/artifacts"
    summary+=("$(printf '%-24s FAILED (exit %s)' "$name" "$rc")")
  else
    summary+=("$(printf '%-24s %12s executions %8s exec/s   %s' "$name" "${execs:-?}" "${rate:-?}" "${cov:-cov: ?}")")
  fi
done

echo "=== fuzzing summary (${seconds} s a target)"
printf '%s\n' "${summary[@]}"
if [ "$failed" -eq 0 ]; then
  rm -rf "$scratch"
else
  exit 1
fi
