#!/usr/bin/env bash
# Runs a libFuzzer binary for a bounded time on a copy of a seed corpus.
#   run_fuzz.sh FUZZ_BINARY SEED_DIR SECONDS [MAX_LEN]
# MAX_LEN (default 300000) caps an input's length; longer seeds are cut.
# Prints the number of inputs tried; exits non-zero on a crash, a sanitizer
# report, a hang or an out-of-memory. Finds are left in the work folder, whose
# name is printed when there is one.
set -u

if [ $# -lt 3 ] || [ $# -gt 4 ]; then
    echo "usage: $0 FUZZ_BINARY SEED_DIR SECONDS [MAX_LEN]" >&2
    exit 64
fi
binary=$1
seeds=$2
seconds=$3
max_len=${4:-300000}

if [ ! -x "$binary" ]; then
    echo "run_fuzz: no fuzzer at $binary" >&2
    exit 66
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/orvane-fuzz.XXXXXX")
mkdir -p "$work/corpus" "$work/artifacts"
if [ -d "$seeds" ]; then
    cp -R "$seeds"/. "$work/corpus/"
fi

# One input decodes a whole 1 MiB picture twice: a second per input is a hang.
# The largest real input is about 270 KB (a picture plus its palette), the
# default cap.
"$binary" "$work/corpus" \
    -max_total_time="$seconds" \
    -timeout=10 \
    -rss_limit_mb=2048 \
    -max_len="$max_len" \
    -print_final_stats=1 \
    -artifact_prefix="$work/artifacts/" \
    >"$work/log" 2>&1
status=$?

runs=$(sed -n 's/^stat::number_of_executed_units: *\([0-9]*\).*/\1/p' "$work/log" | tail -n 1)
echo "fuzz: $(basename "$binary"): ${runs:-unknown} inputs tried (time limit ${seconds} s, inputs up to ${max_len} bytes)"

if [ $status -ne 0 ] || grep -qE 'ERROR: (AddressSanitizer|libFuzzer|LeakSanitizer)|runtime error:' "$work/log" ||
   [ -n "$(ls -A "$work/artifacts")" ]; then
    echo "fuzz: FAILED (exit $status); log and reproducer in $work" >&2
    grep -E -A30 'ERROR:|runtime error:|==[0-9]+==' "$work/log" | head -60 >&2
    exit 1
fi
rm -rf "$work"
