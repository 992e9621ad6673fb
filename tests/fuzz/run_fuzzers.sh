#!/usr/bin/env bash
# Runs the engine's fuzzers for a while each, seeded from the fixture tables.
#   run_fuzzers.sh BIN_DIR [SECONDS_PER_FUZZER]
# Seed corpora are built in a temporary directory: every .DB with its
# companions for table_fuzzer, every .MB behind its host byte for blob_fuzzer.
# Inputs that crash are kept in BIN_DIR/../fuzz-artifacts/; the exit status is
# non-zero when any fuzzer found one.
set -euo pipefail

usage() { echo "usage: $0 BIN_DIR [SECONDS_PER_FUZZER]" >&2; exit 2; }
[[ $# -ge 1 && $# -le 2 ]] || usage
bin_dir=$(cd "$1" && pwd)
seconds=${2:-30}
[[ $seconds =~ ^[0-9]+$ && $seconds -gt 0 ]] || usage

script_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
fixtures=${PX_FIXTURE_DIR:-$script_dir/../../../shared/fixtures/paradox}
[[ -d $fixtures ]] || { echo "no fixture directory at $fixtures" >&2; exit 2; }
fixtures=$(cd "$fixtures" && pwd)

artifacts=$(dirname "$bin_dir")/fuzz-artifacts
work=$(mktemp -d "${TMPDIR:-/tmp}/px-fuzz.XXXXXX")
trap 'rm -rf "$work"' EXIT

# Seeds stay small so each run spends its time mutating, not re-reading big tables.
readonly max_seed_bytes=$((128 * 1024))
readonly max_blob_seed_bytes=$((64 * 1024))

# The flag bits and the host order below match table_fuzzer.cpp and blob_fuzzer.cpp.
readonly with_primary=1 with_blobs=2 with_secondary=4 secondary_composite=8

le32() {
  local n=$1
  printf "$(printf '\\x%02x\\x%02x\\x%02x\\x%02x' $((n & 255)) $((n >> 8 & 255)) $((n >> 16 & 255)) $((n >> 24 & 255)))"
}

file_size() { stat -c %s "$1"; }

# The first file in a directory named STEM.PATTERN, in any letter case.
companion() {
  find "$1" -maxdepth 1 -type f -iname "$2.$3" | LC_ALL=C sort | head -n 1
}

# Writes one seed: the flag byte, then the files, each but the last behind its length.
write_seed() {
  local out=$1 flags=$2
  shift 2
  {
    printf "$(printf '\\x%02x' "$flags")"
    while [[ $# -gt 1 ]]; do
      le32 "$(file_size "$1")"
      cat "$1"
      shift
    done
    cat "$1"
  } >"$out"
}

build_table_corpus() {
  local corpus=$1 count=0 skipped=0 db
  mkdir -p "$corpus"
  while IFS= read -r db; do
    local dir stem size
    dir=$(dirname "$db")
    stem=$(basename "$db")
    stem=${stem%.*}
    size=$(file_size "$db")
    if [[ $size -gt $max_seed_bytes ]]; then
      skipped=$((skipped + 1))
      continue
    fi
    count=$((count + 1))
    write_seed "$corpus/table-$count" 0 "$db"

    # The same table with the companions that fit, in the fuzzer's order.
    local flags=0 files=("$db") total=$size px mb x y ext
    px=$(companion "$dir" "$stem" px)
    if [[ -n $px && $((total + $(file_size "$px"))) -le $max_seed_bytes ]]; then
      flags=$((flags | with_primary)); files+=("$px"); total=$((total + $(file_size "$px")))
    fi
    mb=$(companion "$dir" "$stem" mb)
    if [[ -n $mb && $((total + $(file_size "$mb"))) -le $max_seed_bytes ]]; then
      flags=$((flags | with_blobs)); files+=("$mb"); total=$((total + $(file_size "$mb")))
    fi
    x=$(companion "$dir" "$stem" 'x??')
    if [[ -n $x ]]; then
      ext=${x##*.}
      y=$(companion "$dir" "$stem" "y${ext:1}")
      if [[ -n $y && $((total + $(file_size "$x") + $(file_size "$y"))) -le $max_seed_bytes ]]; then
        flags=$((flags | with_secondary)); files+=("$x" "$y")
        [[ ${ext:1:1} == [gG] ]] && flags=$((flags | secondary_composite))
      fi
    fi
    if [[ $flags -ne 0 ]]; then write_seed "$corpus/family-$count" "$flags" "${files[@]}"; fi
  done < <(find "$fixtures" -type f -iname '*.db' | LC_ALL=C sort)
  echo "table_fuzzer: $count tables seeded, $skipped larger than $max_seed_bytes bytes left out"
}

blob_host() {
  local stem
  stem=$(basename "$1")
  stem=${stem%.*}
  case ${stem,,} in
    memo) echo 0 ;; fmemo) echo 1 ;; graphic) echo 2 ;; graphic240) echo 3 ;;
    ole) echo 4 ;; testtab) echo 5 ;; produto) echo 6 ;;
    *) echo 0 ;;  # header-only or scrambled files: any host will do
  esac
}

build_blob_corpus() {
  local corpus=$1 count=0 mb
  mkdir -p "$corpus"
  while IFS= read -r mb; do
    count=$((count + 1))
    # Large blob files are cut: their first blocks hold the structure worth mutating.
    {
      printf "$(printf '\\x%02x' "$(blob_host "$mb")")"
      head -c "$max_blob_seed_bytes" "$mb"
    } >"$corpus/blob-$count"
  done < <(find "$fixtures" -type f -iname '*.mb' | LC_ALL=C sort)
  echo "blob_fuzzer: $count blob files seeded"
}

# Runs one fuzzer; prints its summary and returns non-zero when it found a crash.
run_fuzzer() {
  local name=$1 corpus=$2 log=$work/$1.log
  local binary=$bin_dir/$name
  [[ -x $binary ]] || { echo "$name: not built at $binary" >&2; return 1; }
  mkdir -p "$artifacts/$name"
  local status=0
  # Inputs stay near the seeds' size, so an allocation past malloc_limit_mb means
  # the engine sized a buffer by a header's claim instead of by the file.
  "$binary" "$corpus" -max_total_time="$seconds" -rss_limit_mb=2048 -malloc_limit_mb=256 -timeout=10 \
    -max_len=$((max_seed_bytes + 1024)) -print_final_stats=1 \
    -artifact_prefix="$artifacts/$name/" >"$log" 2>&1 || status=$?
  local runs rate coverage
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
  rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -n 1)
  coverage=$(grep -o 'cov: [0-9]*' "$log" | tail -n 1 | cut -d' ' -f2 || true)
  if [[ $status -ne 0 ]]; then
    echo "$name: FAILED (exit $status) after ${runs:-?} runs; the log ends:"
    tail -n 60 "$log"
    echo "$name: inputs kept in $artifacts/$name/"
    return 1
  fi
  echo "$name: ${runs:-?} runs in ${seconds} s (${rate:-?}/s), coverage ${coverage:-?}, no crash"
}

build_table_corpus "$work/table-corpus"
build_blob_corpus "$work/blob-corpus"

failed=0
run_fuzzer table_fuzzer "$work/table-corpus" || failed=1
run_fuzzer blob_fuzzer "$work/blob-corpus" || failed=1
exit "$failed"
