# What the trials of the real windows share (sourced by window_trial.sh and
# repair_trial.sh): a server of their own, a user of their own, and the few
# moves a person makes on the windows, found by their titles.
#
# The sourcing script sets orvane and shots, sources this with its own
# arguments still in "$@", keeps the running program's pid in $program and
# may define trial_cleanup for its own leftovers.

# Always on a server of its own, never on the desktop of whoever runs it.
if [ -z "${TRIAL_OWN_SERVER:-}" ]; then
  export TRIAL_OWN_SERVER=1
  # TRIAL_SCREEN: another screen size (a scaled trial needs a large one).
  # -noreset: an X server resets when its last client leaves, and a program
  # started in that moment (the next machine, once the first one's program
  # is ended) cannot connect.
  exec xvfb-run -a -s "-screen 0 ${TRIAL_SCREEN:-1280x800x24} -noreset" "$0" "$@"
fi

# A user of its own: its own settings, autostart folder, instance lock and
# caches, in $work (removed at the end).
work=$(mktemp -d)
program=
export HOME=$work/home XDG_CONFIG_HOME=$work/home/.config XDG_CACHE_HOME=$work/home/.cache
export XDG_RUNTIME_DIR=$work/run
mkdir -p "$HOME" "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
# A user who has already said whether Orvane starts at login, so a trial
# meets the windows it is about rather than the first start's question
# (settings_trial.sh removes this to meet the question).
mkdir -p "$XDG_CONFIG_HOME/orvane" && printf 'StartWithWindows=false\n' >"$XDG_CONFIG_HOME/orvane/orvane.conf"
mkdir -p "$shots"
cleanup() {
  [ -n "$program" ] && kill "$program" 2>/dev/null && wait "$program" 2>/dev/null
  declare -F trial_cleanup >/dev/null && trial_cleanup
  # TRIAL_KEEP=1 keeps the folder (the machine, the logs) to look into.
  if [ -n "${TRIAL_KEEP:-}" ]; then echo "kept $work"; else rm -rf "$work"; fi
}
trap cleanup EXIT

fail() {
  echo "FAIL: $*"
  import -window root "$shots/failure.png" 2>/dev/null
  # What the programs said, so that a failure on a machine nobody watches
  # explains itself.
  for log in "$work"/*.log; do [ -s "$log" ] && { echo "--- ${log##*/}"; tail -n 30 "$log"; }; done
  exit 1
}
wait_for() {  # SECONDS NAME-REGEX: prints the id of a mapped window so named
  local end=$((SECONDS + $1)) id
  while [ $SECONDS -lt $end ]; do
    id=$(xdotool search --onlyvisible --name "$2" 2>/dev/null | head -1)
    [ -n "$id" ] && { echo "$id"; return 0; }
    sleep 0.2
  done
  return 1
}
gone() {  # SECONDS NAME-REGEX: waits until no such window is mapped
  local end=$((SECONDS + $1))
  while [ $SECONDS -lt $end ]; do
    xdotool search --onlyvisible --name "$2" >/dev/null 2>&1 || return 0
    sleep 0.2
  done
  return 1
}
click() {  # WINDOW X Y: a real click at client position (X, Y) of WINDOW
  eval "$(xdotool getwindowgeometry --shell "$1")"
  xdotool mousemove --sync $((X + $2)) $((Y + $3)) click 1
}
press() {  # WINDOW KEY
  xdotool windowactivate --sync "$1" 2>/dev/null
  xdotool key "$2"
}
