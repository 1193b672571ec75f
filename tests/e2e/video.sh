#!/usr/bin/env bash
# orvane-capture --video as a user runs it, without a display: what ffprobe
# finds in the file (what video sites ask of an upload), frames that match
# the stills, black bars, the show's end, the same file twice, and failures
# that leave no file behind.
source "$E2E_DIR/lib.sh"

make_show_folder
out="$E2E_WORK/out"
mkdir -p "$out"

# Runs the tool in the show folder; sets STATUS. Callers may set PATH.
capture() {
  (cd "$SHOW_DIR" && /usr/bin/env -u DISPLAY LD_PRELOAD="${ORVANE_PRELOAD:-}" "$ORVANE_CAPTURE" "$@") \
    >"$E2E_WORK/stdout" 2>"$E2E_WORK/stderr"
  STATUS=$?
}
must_capture() {
  capture "$@"
  [[ $STATUS -eq 0 ]] || fail "'$*' gave exit code $STATUS"
}
probe() { ffprobe -v error -of default=nw=1:nk=1 "$@"; }
# Frame N of a video as a PNG.
frame_of() { ffmpeg -v error -y -i "$1" -vf "select=eq(n\\,$2)" -frames:v 1 "$3"; }
psnr() { /usr/bin/compare -metric PSNR "$1" "$2" null: 2>&1 | cut -d' ' -f1; }
above() { awk -v a="$1" -v b="$2" 'BEGIN { exit !(a > b) }'; }
no_leftovers() {
  local left
  left=$(find "$out" "$SHOW_DIR" -name '*.part' -o -name 'v.mp4')
  [[ -z "$left" ]] || fail "$1 left $left"
}

echo "-- a span: 15000 to 17000 ms at 30 frames per second"
must_capture --video "$out/span.mp4" --from 15000 --to 17000 --fps 30
facts=$(probe -show_entries stream=codec_name,profile,width,height,pix_fmt,field_order,color_space,nb_frames,sample_rate,channels \
  "$out/span.mp4" | tr '\n' ' ')
[[ "$facts" == "h264 High 800 600 yuv420p bt709 progressive 60 aac LC 48000 2 "* ]] || fail "the span's streams are: $facts"
audio_rate=$(probe -select_streams a -show_entries stream=bit_rate "$out/span.mp4")
((audio_rate > 340000 && audio_rate < 430000)) || fail "the sound's bit rate is $audio_rate, not about 384 kb/s"
# Two B-frames between references at most, and some runs of two; a key
# frame every half second (15 frames at 30 per second) and no other, each an
# IDR picture (NAL type 5), so that every GOP is closed.
types=$(probe -select_streams v -show_entries frame=pict_type "$out/span.mp4" | tr -d '\n')
[[ "$types" == *PBBP* && "$types" != *BBB* ]] || fail "not two B-frames: $types"
keys=$(probe -select_streams v -show_entries frame=key_frame "$out/span.mp4" | grep -n '^1$' | cut -d: -f1 | tr '\n' ' ')
[[ "$keys" == "1 16 31 46 " ]] || fail "key frames at $keys (counting from 1), not every 15 frames"
idr=$(ffmpeg -v verbose -i "$out/span.mp4" -c copy -bsf:v trace_headers -f null - 2>&1 | grep -c 'nal_unit_type .* = 5$')
[[ "$idr" == 4 ]] || fail "$idr IDR pictures, not one for each of the 4 key frames"
for stream in v:0 a:0; do
  duration=$(probe -select_streams "$stream" -show_entries stream=duration "$out/span.mp4")
  awk -v d="$duration" 'BEGIN { exit !(d > 1.98 && d < 2.03) }' || fail "stream $stream lasts $duration s, not 2"
done
# The index before the data, so that a browser plays while it loads.
[[ $(grep -obUa -m1 moov "$out/span.mp4" | cut -d: -f1) -lt $(grep -obUa -m1 mdat "$out/span.mp4" | cut -d: -f1) ]] ||
  fail "the index is not at the front"
[[ $(wc -l <"$E2E_WORK/stderr") -eq 1 ]] && grep -q "wrote $out/span.mp4: 60 frames" "$E2E_WORK/stderr" ||
  fail "not one closing line off a terminal: $(cat "$E2E_WORK/stderr")"
volume=$(ffmpeg -v info -i "$out/span.mp4" -map 0:a -af volumedetect -f null - 2>&1 | sed -n 's/.*max_volume: \(.*\) dB/\1/p')
above "$volume" -30 || fail "the span's sound peaks at $volume dB"

echo "-- the span's sound lines up with the module played from 15 s"
# The module player's own render, subtracted: what is left is the codec's
# error when the two line up, and as loud as the music when they are even
# a millisecond apart.
cp "$SHOW_DIR/cud.mod" "$E2E_WORK/song.mod"
openmpt123 --batch --quiet --samplerate 44100 --end-time 18 --render "$E2E_WORK/song.mod" >/dev/null 2>&1 ||
  fail "openmpt123 did not render the module"
mean_volume() { sed -n 's/.*mean_volume: \(.*\) dB/\1/p'; }
music=$(ffmpeg -v info -i "$out/span.mp4" -map 0:a -af volumedetect -f null - 2>&1 | mean_volume)
left=$(ffmpeg -v info -i "$out/span.mp4" -ss 15 -t 2 -i "$E2E_WORK/song.mod.wav" -filter_complex \
  "[1:a]volume=-1[minus];[0:a][minus]amix=inputs=2:normalize=0,volumedetect" -f null - 2>&1 | mean_volume)
echo "   music $music dB, left $left dB"
above "$music" "$(awk -v l="$left" 'BEGIN { print l + 10 }')" ||
  fail "the sound is off the module's: music at $music dB, $left dB left after subtracting the module"

echo "-- frame 30 of the span is the still of 16000 ms"
must_capture --still 16000 --fps 30 --out-dir "$out"
frame_of "$out/span.mp4" 30 "$out/frame.png"
quality=$(psnr "$out/frame.png" "$out/still-16000.png")
above "$quality" 35 || fail "frame 30 and the still differ: PSNR $quality dB"

echo "-- the same span again: the same file, byte for byte"
must_capture --video "$out/again.mp4" --from 15000 --to 17000 --fps 30
cmp -s "$out/span.mp4" "$out/again.mp4" || fail "two captures of the span differ"

echo "-- 1600 by 600: the still between black bars; stretched, it fills the frame"
must_capture --video "$out/wide.mp4" --size 1600x600 --from 16000 --to 16100 --fps 30
frame_of "$out/wide.mp4" 0 "$out/wide.png"
/usr/bin/convert "$out/wide.png" -crop 800x600+400+0 +repage "$out/middle.png"
above "$(psnr "$out/middle.png" "$out/still-16000.png")" 35 || fail "the picture is not the still, centred"
# The show's own background is level 5: a bar must be darker on average.
for bar in 390x600+0+0 390x600+1210+0; do
  level=$(/usr/bin/convert "$out/wide.png" -crop "$bar" -format '%[fx:mean*255]' info:)
  above 1.5 "$level" || fail "the bar $bar is not black (mean level $level)"
done
must_capture --video "$out/stretched.mp4" --size 1600x600 --stretch --from 16000 --to 16100 --fps 30
frame_of "$out/stretched.mp4" 0 "$out/stretched.png"
/usr/bin/convert "$out/still-16000.png" -filter point -resize '1600x600!' "$out/doubled.png"
above "$(psnr "$out/stretched.png" "$out/doubled.png")" 25 || fail "the stretched frame is not the still, twice as wide"

echo "-- the video ends where the module ends, within a frame, and the sound with it"
length=$(probe -show_entries format=duration "$SHOW_DIR/cud.mod")
must_capture --video "$out/end.mp4" --from 205000
for stream in v:0 a:0; do
  duration=$(probe -select_streams "$stream" -show_entries stream=duration "$out/end.mp4")
  awk -v d="$duration" -v l="$length" 'BEGIN { e = 205 + d - l; exit !(e > -1 / 60 && e < 1 / 60) }' ||
    fail "stream $stream from 205 s lasts $duration s; the module ends at $length s"
done

echo "-- without cud.mod: the silent show of 210 s, with a silent track"
mv "$SHOW_DIR/cud.mod" "$E2E_WORK/cud.mod"
must_capture --video "$out/silent.mp4" --from 208000 --fps 10
[[ $(probe -select_streams a -show_entries stream=codec_name "$out/silent.mp4") == aac ]] || fail "no sound track"
[[ $(probe -show_entries format=duration "$out/silent.mp4") == 2.0* ]] || fail "the silent show does not end at 210 s"
volume=$(ffmpeg -v info -i "$out/silent.mp4" -map 0:a -af volumedetect -f null - 2>&1 | sed -n 's/.*max_volume: \(.*\) dB/\1/p')
above -80 "$volume" || fail "the silent show's track peaks at $volume dB"
mv "$E2E_WORK/cud.mod" "$SHOW_DIR/cud.mod"

echo "-- failures: exit code, message, and no file left"
bin="$E2E_WORK/bin"
mkdir -p "$bin"
ln -s "$(command -v Xvfb)" "$bin/Xvfb"
printf '#!/bin/sh\n/usr/bin/head -c 100000 >/dev/null\necho "fake encoder: disk full" >&2\nexit 1\n' >"$E2E_WORK/ffmpeg"
chmod +x "$E2E_WORK/ffmpeg"
while IFS='|' read -r path args code message; do
  # shellcheck disable=SC2086
  PATH="$path" capture --video "$out/v.mp4" $args
  [[ $STATUS -eq $code ]] || fail "'$args' (PATH $path) gave exit code $STATUS, not $code"
  grep -qF -- "$message" "$E2E_WORK/stderr" || fail "'$args' did not say: $message; it said: $(cat "$E2E_WORK/stderr")"
  no_leftovers "'$args'"
done <<CASES
$bin|--to 1000|1|cannot run ffmpeg: No such file or directory
$E2E_WORK:$PATH|--to 1000|1|fake encoder: disk full
$PATH|--to 1000 --video /nonexistent/v.mp4|1|cannot write /nonexistent/v.mp4
$PATH|--size 801x600|2|--size must be even
$PATH|--size 800|2|--size must be WIDTHxHEIGHT
$PATH|--from 17000 --to 15000|2|--from must come before --to
$PATH|--from 999999|2|999999 ms is not inside the show
$PATH|--still 100|2|give one of --still MS, --sheet FILE.png or --video FILE.mp4
CASES
capture --still 100 --timings
[[ $STATUS -eq 2 ]] && grep -q "go with --video" "$E2E_WORK/stderr" || fail "--timings was taken without --video"
capture --sheet "$out/sheet.png" --stretch
[[ $STATUS -eq 2 ]] && grep -q "go with --still or --video" "$E2E_WORK/stderr" || fail "--stretch was taken with --sheet"

echo "-- Ctrl-C: the partial file goes, and ffmpeg with it"
# With job control, so that the background job takes SIGINT as a terminal's would.
set -m
(cd "$SHOW_DIR" && exec env -u DISPLAY LD_PRELOAD="${ORVANE_PRELOAD:-}" "$ORVANE_CAPTURE" --video "$out/v.mp4") \
  >"$E2E_WORK/stdout" 2>"$E2E_WORK/stderr" &
SHOW_PID=$!
set +m
deadline=$((SECONDS + 60))
until [[ -n $(find "$out" -name '*.part' -size +1k) ]]; do
  ((SECONDS < deadline)) || fail "no partial video appeared"
  sleep 0.1
done
encoder=$(pgrep -f "ffmpeg .*$out/\.v\.mp4")
[[ -n "$encoder" ]] || fail "no ffmpeg writes the video"
kill -INT "$SHOW_PID"
wait_for_exit 20
[[ $SHOW_STATUS -eq 130 ]] || fail "Ctrl-C gave exit code $SHOW_STATUS"
grep -q "interrupted" "$E2E_WORK/stderr" || fail "Ctrl-C was not reported"
no_leftovers "Ctrl-C"
kill -0 "$encoder" 2>/dev/null && fail "ffmpeg outlived the capture"
echo "PASS"
