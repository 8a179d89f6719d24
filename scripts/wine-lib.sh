# Wine sessions for the tests and the demo; sourced by wine-run.sh, run-tests.sh and demo.sh.
#
# A Wine session is one wineserver of one prefix with its background programs (services,
# the desktop's explorer), which are tied to the display the session started with. Two
# ways of using a prefix break a program at its start: joining a session whose server
# is in its exit stages (its background programs are being told to quit, then killed),
# and joining a session whose desktop lives on another display, or on none. So a
# session here is either
#  - held by a runner (run-tests.sh, demo.sh): started once with the runner's display
#    and a server that does not end on its own, then ended and waited for by the
#    runner; programs of the run (MIVEX_WINE_SESSION names its prefixes) join it; or
#  - a program's own (wine-run.sh outside a run): under the prefix's lock, the previous
#    session is waited for to end, then a session starts for this one program and
#    ends with it.
# No program ever starts into a session that is going away.

mivex_here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

export WINEDEBUG="${WINEDEBUG:--all,err+module}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"

# wine_commands i686|x86_64: sets wine_loader and wine_server (command arrays) and
# WINEARCH for programs of that architecture. Fails, saying why, if there is no such Wine.
wine_commands() {
  case "$1" in
    x86_64)
      export WINEARCH=win64
      wine_loader=(/usr/lib/wine/wine64)
      wine_server=(/usr/lib/wine/wineserver) ;;
    i686)
      export WINEARCH=win32
      case "$("$mivex_here/scripts/wine-arch.sh" --route)" in
        host)
          wine_loader=(/usr/lib/wine/wine)
          wine_server=(/usr/lib/wine/wineserver) ;;
        root)
          wine_loader=("$mivex_here/scripts/wine32-root.sh" exec /usr/lib/wine/wine)
          wine_server=("$mivex_here/scripts/wine32-root.sh" exec /usr/lib/wine/wineserver) ;;
        *)
          echo "wine-run: no 32-bit Wine on this machine: $("$mivex_here/scripts/wine-arch.sh" --why)" >&2
          return 125 ;;
      esac ;;
    *) echo "wine-run: unknown Windows architecture $1" >&2; return 125 ;;
  esac
  if [ ! -x "${wine_loader[0]}" ]; then
    echo "wine-run: ${wine_loader[0]} is missing (run scripts/bootstrap.sh)" >&2
    return 125
  fi
}

# pe_arch FILE: i686 or x86_64 from a PE file's machine field.
pe_arch() {
  local pe_offset machine
  pe_offset=$(od -An -tu4 -j60 -N4 "$1" 2>/dev/null | tr -d ' ')
  [ -n "$pe_offset" ] || return 1
  machine=$(od -An -tx2 -j"$((pe_offset + 4))" -N2 "$1" 2>/dev/null | tr -d ' ')
  case "$machine" in
    8664) echo x86_64 ;;
    014c) echo i686 ;;
    *) return 1 ;;
  esac
}

# wine_lock PREFIX: waits for and takes the prefix's lock, held until the caller exits.
wine_lock_fds=()
wine_lock() {
  local fd
  mkdir -p "$(dirname "$1")"
  exec {fd}>"$1.lock"
  flock "$fd"
  wine_lock_fds+=("$fd")
}

# without_locks COMMAND...: runs COMMAND with the lock descriptors closed, so that the
# long-lived processes it may start (wineserver, Wine's background programs) do not
# hold the locks.
without_locks() {
  (
    local fd
    for fd in "${wine_lock_fds[@]}"; do eval "exec $fd>&-"; done
    exec "$@"
  )
}

# Runs a command of the session's machinery with its output discarded.
wine_quiet() { without_locks "$@" </dev/null >/dev/null 2>&1; }

# wine_session_start PREFIX: a session of PREFIX on $DISPLAY that lasts until
# wine_session_stop. The caller holds the prefix's lock and has set wine_commands.
wine_session_start() {
  export WINEPREFIX="$1"
  # A session left by someone else (a program's own that is still ending) ends first.
  wine_quiet "${wine_server[@]}" -w || true
  if [ ! -f "$WINEPREFIX/.mivex-ready-4" ]; then
    rm -rf "$WINEPREFIX"
    mkdir -p "$(dirname "$WINEPREFIX")"
    wine_quiet "${wine_loader[@]}" wineboot --init || true
    # One virtual desktop instead of X11 top-level windows: without a window manager
    # (Xvfb) Wine would wait up to two seconds for every window it hides.
    wine_quiet "${wine_loader[@]}" reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f || true
    wine_quiet "${wine_loader[@]}" reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1280x1024 /f || true
    # No sound driver: the machines that run the tests have no sound device, and Wine's
    # ALSA and PulseAudio drivers can hold up a process's exit after a sound was played.
    wine_quiet "${wine_loader[@]}" reg add 'HKCU\Software\Wine\Drivers' /v Audio /d '' /f || true
    # A crash ends the program with a backtrace on standard error instead of waiting
    # for someone to close Wine's crash dialog.
    wine_quiet "${wine_loader[@]}" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f || true
    # The settings above take effect in a fresh session.
    wine_quiet "${wine_server[@]}" -k || true
    wine_quiet "${wine_server[@]}" -w || true
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
      echo "wine-run: Wine could not make the prefix $WINEPREFIX" >&2
      return 125
    fi
    touch "$WINEPREFIX/.mivex-ready-4"
  fi
  # A server without an idle timeout, so that it never starts ending while the run
  # lasts; then the background programs, started now on this display with their
  # output discarded (they would otherwise inherit a test's output pipes).
  wine_quiet "${wine_server[@]}" -p || true
  if ! wine_quiet "${wine_loader[@]}" cmd.exe /c exit; then
    echo "wine-run: Wine could not start a session in $WINEPREFIX (DISPLAY=${DISPLAY:-})" >&2
    return 125
  fi
}

# wine_session_stop PREFIX: ends the session and waits until its server has exited.
wine_session_stop() {
  WINEPREFIX="$1" wine_quiet "${wine_server[@]}" -k || true
  WINEPREFIX="$1" wine_quiet "${wine_server[@]}" -w || true
}

# xvfb_start: an X server of its own on a free display; sets DISPLAY and xvfb_pid.
# Started before any lock is taken, so that it holds none.
xvfb_start() {
  local ready
  ready=$(mktemp)
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$ready" </dev/null >/dev/null 2>&1 &
  xvfb_pid=$!
  local _
  for _ in $(seq 100); do
    [ -s "$ready" ] && break
    kill -0 "$xvfb_pid" 2>/dev/null || break
    sleep 0.1
  done
  if [ ! -s "$ready" ]; then
    rm -f "$ready"
    echo "wine-run: Xvfb did not start" >&2
    return 125
  fi
  export DISPLAY=":$(head -n1 "$ready")"
  rm -f "$ready"
}

xvfb_stop() {
  [ -n "${xvfb_pid:-}" ] || return 0
  kill "$xvfb_pid" 2>/dev/null || true
  wait "$xvfb_pid" 2>/dev/null || true
  xvfb_pid=
}

# Every process a run starts carries the run's mark in its environment.
wine_mark_run() { export MIVEX_RUN="$$-$(date +%s%N)"; }

# leftover_processes: the X servers, wineservers and Wine programs of this run that
# are still running, one "pid name" a line.
leftover_processes() {
  local p comm
  for p in /proc/[0-9]*; do
    comm=$(cat "$p/comm" 2>/dev/null) || continue
    case "$comm" in
      Xvfb|wineserver*|wine*|*.exe|*.EXE) ;;
      *) continue ;;
    esac
    # A process that ends meanwhile has no environment left to read.
    if { tr '\0' '\n' < "$p/environ"; } 2>/dev/null | grep -qxF "MIVEX_RUN=$MIVEX_RUN"; then
      echo "${p#/proc/} $comm"
    fi
  done
}

# check_no_leftovers: after a run's sessions and X server were stopped, fails listing
# any process of the run that is still there (after a few seconds' grace for exits).
check_no_leftovers() {
  local left _
  for _ in $(seq 50); do
    left=$(leftover_processes)
    [ -z "$left" ] && return 0
    sleep 0.1
  done
  echo "leftover processes of this run:" >&2
  echo "$left" >&2
  return 1
}

# wine_diagnose STATUS EXE ERRFILE: after a program ended with STATUS, says plainly when
# Wine itself could not start it or was stopped (rather than the program failing), and
# returns 125 then; otherwise returns STATUS.
wine_diagnose() {
  local status=$1 exe=$2 errfile=$3 line
  [ "$status" = 0 ] && return 0
  line=$(grep -m1 -E '^wine: |^wine client error|^wineserver: |err:module:(LdrInitializeThunk|loader_init|__wine_process_init)|err:module:import_dll.*needed by L"[^"]*'"$(basename "$exe" | sed 's/[.]/[.]/g')"'"' "$errfile" || true)
  if [ -n "$line" ]; then
    echo "wine-run: Wine could not start $exe (exit status $status): $line" >&2
    return 125
  fi
  # Killed outright (a Windows program's own exit codes are rarely these).
  if [ "$status" = 137 ] || [ "$status" = 143 ] || [ "$status" = 130 ]; then
    echo "wine-run: Wine was stopped by signal $((status - 128)) while running $exe (its wineserver ended, or the run was stopped)" >&2
    return 125
  fi
  return "$status"
}
