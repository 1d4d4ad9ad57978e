# SPDX-License-Identifier: GPL-3.0-or-later
# Shared steps of the end-to-end scripts: a private HOME, the main window,
# the menu from the keyboard, the player's end, recording the sink, counting results.
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

# Starts the player "$@" (its output in $E2E_HOME/player.log): $pid, and $win its main window.
e2e_start() {
  "$@" >>"$E2E_HOME/player.log" 2>&1 &
  pid=$!
  win=$(e2e_wait_window '^Savrel超级播放器$') || { fail "no main window"; cat "$E2E_HOME/player.log"; exit 1; }
  sleep 0.5
}

# Waits up to 10 s for process $1 to end; when it does not, says so and ends it.
e2e_wait_end() {
  for _ in $(seq 100); do kill -0 "$1" 2>/dev/null || { wait "$1" 2>/dev/null; return 0; }; sleep 0.1; done
  fail "the player did not end"
  kill "$1"
  return 1
}

# 文件(&F) > 退出(&X) in window $1 of process $2: the ordinary close.
e2e_quit() { e2e_keys "$1" alt+f x && e2e_wait_end "$2"; }

e2e_focus() { xdotool windowactivate --sync "$1" 2>/dev/null || xdotool windowfocus --sync "$1"; }

# Clicks the VCD button of window $1: 28 x 17 px at 8, 40 (120, 600 twips) in
# the 225 x 133 client area under the menu bar, its middle 85 px above the
# window's bottom.
e2e_click_vcd() {
  local WINDOW X Y WIDTH HEIGHT SCREEN
  eval "$(xdotool getwindowgeometry --shell "$1")"
  e2e_focus "$1"
  xdotool mousemove --window "$1" 22 $((HEIGHT - 85)) click 1
}

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

# Records the null sink into WAV $1 until e2e_record_stop. With a short
# latency: the server's default (2 s) lets the sink run seconds ahead, so a
# stream that starts after the recorder is heard only that much later.
e2e_record() {
  parecord --latency-msec=20 --device=mirova_test.monitor --file-format=wav "$1" 2>/dev/null &
  rec_pid=$!
}
e2e_record_stop() { kill "$rec_pid" 2>/dev/null && wait "$rec_pid" 2>/dev/null; }

# Frequency (Hz) of the tone in WAV $1: the median over windows of 20 ms of
# the left channel's zero crossings (a busy sound server leaves gaps); 0 when
# it was silent.
e2e_wav_freq() {
  sox "$1" -t raw -e signed -b 16 - remix 1 2>/dev/null | od -An -v -td2 -w2 | awk '
    function flush() { if (n >= 4) printf "%.1f\n", (n - 1) / 2 / ((last - first) / 44100); n = 0; side = 0 }
    { s = $1 + 0; now = s > 1000 ? 1 : (s < -1000 ? -1 : side)
      if (now != side && side != 0) { n++; last = NR; if (n == 1) first = NR }
      side = now
      if (NR % 882 == 0) flush() }' | sort -n | awk '{ v[NR] = $1 } END { printf "%d\n", NR ? v[int((NR + 1) / 2)] : 0 }'
}

# Records the null sink into WAV $2 for $1 seconds.
e2e_record_for() { e2e_record "$2" && sleep "$1" && e2e_record_stop; }

# Frequency (Hz) of the tone the null sink plays during the next $1 seconds.
e2e_sink_freq() {
  local f; f=$(mktemp --suffix=.wav)
  e2e_record_for "$1" "$f"
  e2e_wav_freq "$f"
  rm -f "$f"
}

# Passes "$3" when the recording $2 holds about $1 Hz (within 5 %); when not,
# says how much was recorded, how many streams the sink had and what the
# player printed.
e2e_heard() {
  local hz; hz=$(e2e_wav_freq "$2")
  awk -v f="$hz" -v want="$1" 'BEGIN { exit !(f > want * 0.95 && f < want * 1.05) }' && pass "$3 ($hz Hz)" \
    || { fail "$3: the sink heard ${hz:-nothing} Hz, not $1, in $(soxi -D "$2" 2>/dev/null || echo 0) s from $(pactl list short sink-inputs | wc -l) streams"
         tail -n 20 "$E2E_HOME/player.log" 2>/dev/null; }
}

# The same for what the sink plays during the next $2 seconds.
e2e_hears() {
  local f; f=$(mktemp --suffix=.wav)
  e2e_record_for "$2" "$f"
  e2e_heard "$1" "$f" "$3"
  rm -f "$f"
}

# Writes an audio CD image $1/disc.cue + disc.bin: one sine track per
# "seconds:hz" argument, each a whole number of 2352-byte sectors. A plain
# number before them is the first track's number (1 when there is none), as
# on an image cut from a larger disc.
e2e_cd_image() {
  local dir=$1 n=0 at=0 track
  shift
  [[ $1 == *:* ]] || { n=$(($1 - 1)); shift; }
  : >"$dir/disc.bin"
  echo 'FILE "disc.bin" BINARY' >"$dir/disc.cue"
  for track in "$@"; do
    n=$((n + 1))
    sox -n -r 44100 -c 2 -b 16 -e signed -L -t raw - synth "${track%%:*}" sine "${track##*:}" vol 0.5 >>"$dir/disc.bin"
    printf '  TRACK %02d AUDIO\n    INDEX 01 %02d:%02d:00\n' "$n" $((at / 60)) $((at % 60)) >>"$dir/disc.cue"
    at=$((at + ${track%%:*}))
  done
}
