# Shared steps of the end-to-end tests: a private X server, a show folder,
# the program started in the background, and checks that fail the test.
# Expects ORVANE, MAKE_STANDINS and WRITE_TEST_MODULE from CTest.
set -u

E2E_WORK=$(mktemp -d /tmp/orvane-e2e-XXXXXX)
XVFB_PID=""
SHOW_PID=""

# Waits for the X server to be gone: a server still shutting down removes
# its socket late and could take the next test's display with it.
cleanup() {
  [[ -n "$SHOW_PID" ]] && kill -9 "$SHOW_PID" 2>/dev/null
  if [[ -n "$XVFB_PID" ]]; then
    kill "$XVFB_PID" 2>/dev/null
    wait "$XVFB_PID" 2>/dev/null
  fi
  rm -rf "$E2E_WORK"
}
trap cleanup EXIT

# Reports on stderr, so the report survives callers that silence stdout.
fail() {
  {
    echo "FAIL: $*"
    [[ -f "$E2E_WORK/stdout" ]] && { echo "--- program output:"; cat "$E2E_WORK/stdout"; }
    [[ -s "$E2E_WORK/stderr" ]] && { echo "--- program errors:"; tail -n 40 "$E2E_WORK/stderr"; }
    [[ -s "$E2E_WORK/xvfb.log" ]] && { echo "--- X server:"; tail -n 20 "$E2E_WORK/xvfb.log"; }
  } >&2
  exit 1
}

# Starts Xvfb with one screen of the given geometry, e.g. 800x600x16.
# Without a reset when the last client leaves: xdotool's short connections
# come and go while the show is still connecting.
start_xvfb() {
  : >"$E2E_WORK/display"
  Xvfb -displayfd 3 -screen 0 "$1" -nolisten tcp -noreset 3>"$E2E_WORK/display" >"$E2E_WORK/xvfb.log" 2>&1 &
  XVFB_PID=$!
  local deadline=$((SECONDS + 20))
  until [[ -s "$E2E_WORK/display" ]]; do
    ((SECONDS < deadline)) || fail "Xvfb did not start"
    sleep 0.05
  done
  export DISPLAY=":$(head -n 1 "$E2E_WORK/display")"
}

# A folder with the stand-in pictures and music.
make_show_folder() {
  SHOW_DIR="$E2E_WORK/show"
  mkdir -p "$SHOW_DIR"
  "$MAKE_STANDINS" "$SHOW_DIR" >/dev/null || fail "make-standins failed"
}

# Starts the program in SHOW_DIR with the arguments given; its output goes
# to $E2E_WORK/stdout.
start_show() {
  (cd "$SHOW_DIR" && LD_PRELOAD="${ORVANE_PRELOAD:-}" exec "$ORVANE" "$@") >"$E2E_WORK/stdout" 2>"$E2E_WORK/stderr" &
  SHOW_PID=$!
}

# Waits up to $1 seconds for the program to end; sets SHOW_STATUS.
wait_for_exit() {
  local deadline=$((SECONDS + $1))
  while kill -0 "$SHOW_PID" 2>/dev/null; do
    ((SECONDS < deadline)) || fail "the program did not end within $1 s"
    sleep 0.05
  done
  wait "$SHOW_PID"
  SHOW_STATUS=$?
  SHOW_PID=""
}

# Prints the id of the window named exactly "Orvane", waiting up to 20 s.
find_show_window() {
  local id="" deadline=$((SECONDS + 20))
  while [[ -z "$id" ]]; do
    ((SECONDS < deadline)) || fail "no window named Orvane appeared"
    kill -0 "$SHOW_PID" 2>/dev/null || fail "the program ended before its window appeared"
    id=$(xdotool search --name '^Orvane$' 2>/dev/null | head -n 1)
    [[ -n "$id" ]] || sleep 0.1
  done
  echo "$id"
}

expect_running() {
  kill -0 "$SHOW_PID" 2>/dev/null || fail "the program ended: $1"
}
