#!/usr/bin/env bash
# The sound comes out: the real program plays a short module of ours through
# a private sound server's null sink (tests/e2e/sound_server.sh: PulseAudio,
# or PipeWire through either of SDL's drivers), whose monitor is recorded. What was played
# must be the module's audio: as long as the module, as loud as the module
# rendered on its own by openmpt123, and silent after the end.
source "$E2E_DIR/lib.sh"
source "$E2E_DIR/sound_server.sh"
trap 'stop_sound_server; cleanup' EXIT

rate=44100
rows=16  # 1.92 s at 120 ms a row
length_frames=$((rows * 120 * rate / 1000))

start_sound_server "$E2E_WORK/sound"
start_xvfb 800x600x24
make_show_folder
"$WRITE_TEST_MODULE" "$SHOW_DIR/cud.mod" "$rows" >/dev/null || fail "could not write the test module"

# The reference: the module rendered alone (openmpt123 fades out after the
# end; only the module's own length is compared).
cp "$SHOW_DIR/cud.mod" "$E2E_WORK/reference.mod"
openmpt123 -q --render --force --no-float --samplerate "$rate" --channels 2 "$E2E_WORK/reference.mod" >/dev/null 2>&1 ||
  fail "openmpt123 could not render the module"

parec -d nullsink.monitor --latency-msec=20 --raw --format=s16le --rate="$rate" --channels=2 >"$E2E_WORK/monitor.raw" 2>"$E2E_WORK/parec.log" &
parec_pid=$!
start_show
wait_for_exit 30
[[ $SHOW_STATUS -eq 0 ]] || fail "exit code $SHOW_STATUS"
[[ ! -s "$E2E_WORK/stdout" ]] || fail "unexpected output: sound output did not start?"
sleep 0.5  # silence after the end, recorded too
kill "$parec_pid" 2>/dev/null
wait "$parec_pid" 2>/dev/null

# Prints: first and last frame louder than the decoder's dither, frames in
# all, and the RMS level of the first LENGTH frames from the first loud one.
measure() {  # FILE BYTE-OFFSET LENGTH
  od -An -v -j "$2" -t d2 -w4 "$1" | awk -v length_frames="$3" '
    { a = $1 < 0 ? -$1 : $1; b = $2 < 0 ? -$2 : $2
      if (a > 64 || b > 64) { if (!first) first = NR; last = NR }
      if (first && NR < first + length_frames) { sum += $1 * $1 + $2 * $2; n += 2 } }
    END { printf "%d %d %d %.0f\n", first, last, NR, n ? sqrt(sum / n) : 0 }'
}
wav="$E2E_WORK/reference.mod.wav"
data=$(grep -obUa data "$wav" | head -n 1 | cut -d: -f1)
[[ -n "$data" ]] || fail "no data chunk in the reference"
read -r _ _ _ ref_level < <(measure "$wav" $((data + 8)) "$length_frames")
read -r first last total level < <(measure "$E2E_WORK/monitor.raw" 0 "$length_frames")

echo "monitor: $total frames, sound from frame $first to $last (module $length_frames frames), level $level (alone $ref_level)"
((first > 0)) || fail "nothing audible reached the sink's monitor"
sounded=$((last - first + 1))
# Within 50 ms of the module's length, whole blocks of the output included.
((sounded >= length_frames - rate / 20 && sounded <= length_frames + rate / 20)) ||
  fail "sound lasted $sounded frames, the module $length_frames"
((level * 10 >= ref_level * 8 && level * 10 <= ref_level * 12)) || fail "level $level, the module alone $ref_level"
((total - last >= rate / 5)) || fail "the recording ends $((total - last)) frames after the sound: no silence after the end?"
echo "PASS"
