# Shared steps of the end-to-end scripts: a private HOME, the main window,
# opening a file through the menu from the keyboard, recording the sink.

e2e_home() {
  E2E_HOME=$(mktemp -d)
  export HOME=$E2E_HOME XDG_CONFIG_HOME=$E2E_HOME/.config XDG_DATA_HOME=$E2E_HOME/.local/share
  export XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-$E2E_HOME/run}
  mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
}

# Prints the id of the first visible window whose title matches, waiting up to $2 seconds.
e2e_wait_window() {
  local pattern=$1 seconds=${2:-15} id
  for _ in $(seq $((seconds * 10))); do
    id=$(xdotool search --onlyvisible --name "$pattern" 2>/dev/null | head -1 || true)
    [[ -n "$id" ]] && { echo "$id"; return 0; }
    sleep 0.1
  done
  return 1
}

e2e_focus() { xdotool windowactivate --sync "$1" 2>/dev/null || xdotool windowfocus --sync "$1"; }

# 文件(&F) > 打开VCD WAV MIDI MP3等文件(&V) > 选择单个文件(&S), then the path typed into the dialog.
e2e_open_file() {
  local win=$1 path=$2 dlg
  e2e_focus "$win"
  xdotool key --clearmodifiers alt+f
  sleep 0.4
  xdotool key --clearmodifiers v
  sleep 0.4
  xdotool key --clearmodifiers s
  dlg=$(e2e_wait_window '^请选择多媒体文件$' 10) || return 1
  e2e_focus "$dlg"
  sleep 0.3
  xdotool type --delay 5 "$path"
  xdotool key Return
}

# Peak amplitude (0..1) of what the null sink played during the next $1 seconds.
e2e_sink_peak() {
  local f
  f=$(mktemp --suffix=.wav)
  timeout "$1" parecord --device=mirova_test.monitor --file-format=wav "$f" 2>/dev/null
  sox "$f" -n stat 2>&1 | awk '/Maximum amplitude/ {print $3}'
  rm -f "$f"
}
