# Shared by the wine test scripts (sourced): finding wine, a quiet prefix of
# the test's own, and zarvo-sim in the background.

# Sets $wine to the wine loader; returns 1 where wine is not installed.
find_wine() {
  wine=$(command -v wine || command -v wine64 || ls /usr/lib/wine/wine64 2>/dev/null || true)
  [ -n "$wine" ]
}

# Whether 32-bit Windows programs can run (Debian package wine32:i386).
have_wine32() {
  [ -d /usr/lib/i386-linux-gnu/wine/i386-windows ]
}

# Uses DIR as the wine prefix, quiet, creating it the first time (slow).
use_prefix() {
  export WINEPREFIX="$1" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  mkdir -p "$1"
  if [ ! -d "$1/dosdevices" ]; then
    "$wine" wineboot --init >/dev/null 2>&1
  fi
}

# Makes COMn of the prefix the serial device PATH: link_com_port n PATH.
link_com_port() {
  ln -sfn "$2" "$WINEPREFIX/dosdevices/com$1"
}

stop_wine() {
  wineserver -k >/dev/null 2>&1 || true
}

# Starts zarvo-sim with ARGS in the background, its pid in $sim_pid and the
# port name it prints in $sim_port: start_sim ZARVO_SIM LOG ARGS...
start_sim() {
  local program=$1 log=$2
  shift 2
  "$program" "$@" >"$log" 2>/dev/null &
  sim_pid=$!
  for _ in $(seq 50); do
    [ -s "$log" ] && break
    sleep 0.1
  done
  sim_port=$(head -n 1 "$log")
  [ -n "$sim_port" ]
}
