# Shared steps of the end-to-end scripts: a private HOME, the main window,
# the menu from the keyboard, recording the sink, counting results.
passes=0 failures=0
pass() { echo "PASS: $*"; passes=$((passes + 1)); }
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
e2e_done() { echo "$passes passed, $failures failed"; [[ $failures -eq 0 ]]; }

e2e_home() {
  E2E_HOME=$(mktemp -d)
  export HOME=$E2E_HOME XDG_CONFIG_HOME=$E2E_HOME/.config XDG_DATA_HOME=$E2E_HOME/.local/share
  export XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-$E2E_HOME/run}
  mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
}

# Prints the id of the first visible window whose title matches $1, waiting up to $2 seconds.
e2e_wait_window() {
  local id
  for _ in $(seq $((${2:-15} * 10))); do
    id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -1 || true)
    [[ -n "$id" ]] && { echo "$id"; return 0; }
    sleep 0.1
  done
  return 1
}

e2e_focus() { xdotool windowactivate --sync "$1" 2>/dev/null || xdotool windowfocus --sync "$1"; }

# Focuses window $1, then presses each key that follows, one at a time.
e2e_keys() {
  e2e_focus "$1"
  for k in "${@:2}"; do xdotool key --clearmodifiers "$k" && sleep 0.4; done
}

# 文件(&F) > 打开VCD WAV MIDI MP3等文件(&V) > 选择单个文件(&S), then the path $2 typed into the dialog.
e2e_open_file() {
  local dlg
  e2e_keys "$1" alt+f v s
  dlg=$(e2e_wait_window '^请选择多媒体文件$' 10) || return 1
  e2e_focus "$dlg" && sleep 0.3
  xdotool type --delay 5 "$2"
  xdotool key Return
}

# Peak amplitude (0..1) of what the null sink played during the next $1 seconds.
e2e_sink_peak() {
  local f; f=$(mktemp --suffix=.wav)
  timeout "$1" parecord --device=mirova_test.monitor --file-format=wav "$f" 2>/dev/null
  sox "$f" -n stat 2>&1 | awk '/Maximum amplitude/ {print $3}'
  rm -f "$f"
}

# The tone the null sink played during the next $1 seconds, in Hz: the median
# spacing of its rising zero crossings, so a dropout does not count; 0 for silence.
e2e_sink_tone() {
  timeout "$1" parec --device=mirova_test.monitor --raw --format=s16le --channels=1 --rate=44100 2>/dev/null |
    od -An -v -td2 -w2 |
    awk '{ if ($1 < -300) below = 1; if (below && $1 > 300) { below = 0; if (last) print NR - last; last = NR } }' |
    sort -n | awk '{ p[NR] = $1 } END { print (NR < 10 ? 0 : int(44100 / p[int(NR / 2) + 1] + 0.5)) }'
}

# Clicks the VCD button of main window $1: 28 x 17 px at 8, 40 (120, 600
# twips) in the 225 x 133 client area under the menu bar, so its middle lies
# 85 px above the bottom of the window as it first comes up.
e2e_click_vcd() {
  local WINDOW X Y WIDTH HEIGHT SCREEN
  eval "$(xdotool getwindowgeometry --shell "$1")"
  e2e_focus "$1"
  xdotool mousemove --window "$1" 22 $((HEIGHT - 85)) click 1
}
