#!/usr/bin/env bash
# The Wine session that the end-to-end tests share: a virtual display (Xvfb),
# a private Wine prefix inside the build folder (created once, then reused)
# and a persistent wineserver.
#
#   session.sh start STATE_DIR [:N] start the display and the server; with a
#                                   display given, use it instead of Xvfb.
#                                   QS_E2E_LANG (default ja_JP.UTF-8) and
#                                   QS_E2E_USER (default: the Unix user)
#                                   choose the system's locale and the Windows
#                                   user; each pair has a prefix of its own,
#                                   and the session keeps them until it stops
#   session.sh run STATE_DIR CMD..  run a command inside the session
#   session.sh stop STATE_DIR       end both, by their own process ids
#   session.sh env STATE_DIR        print the session's environment
#   session.sh arch                 win32, or win64 where this machine cannot
#                                   run 32-bit Linux programs (and so no
#                                   32-bit Wine): then the tests use the
#                                   64-bit build of the same sources
#
# Without a STATE_DIR argument, $QS_E2E_STATE is used.
set -euo pipefail

cmd=${1:?usage: session.sh start|run|stop|env|arch [STATE_DIR] ...}
shift

wine_arch() {
  if /usr/lib/wine/wine --version >/dev/null 2>&1; then echo win32; else echo win64; fi
}
if [ "$cmd" = arch ]; then wine_arch; exit 0; fi

state=${1:-${QS_E2E_STATE:?no state folder}}
shift || true
mkdir -p "$state"
state=$(cd "$state" && pwd)
arch=$(wine_arch)
# The locale and user a session was started with (see start).
if [ "$cmd" = start ]; then
  printf '%s\n' "${QS_E2E_LANG:-ja_JP.UTF-8}" >"$state/lang"
  printf '%s\n' "${QS_E2E_USER:-}" >"$state/user"
fi
session_lang=$(cat "$state/lang" 2>/dev/null || echo ja_JP.UTF-8)
session_user=$(cat "$state/user" 2>/dev/null || true)
variant=""
[ "$session_lang" = ja_JP.UTF-8 ] || variant="$variant-${session_lang%%.*}"
# A user name becomes part of a folder name only as its hex digits.
[ -z "$session_user" ] || variant="$variant-user-$(printf '%s' "$session_user" | od -An -tx1 | tr -d ' \n')"
prefix="$state/../wineprefix-$arch$variant"
if [ "$arch" = win32 ]; then loader=/usr/lib/wine/wine; else loader=/usr/lib/wine/wine64; fi

session_env() {
  export LANG="$session_lang" LC_ALL="$session_lang"
  # Wine names the profile folder after USER when it makes a prefix.
  if [ -n "$session_user" ]; then export USER="$session_user" LOGNAME="$session_user"; fi
  # QS_WINEDEBUG turns Wine's messages on for one command (the harness's
  # second try of a driver that Wine ended without a word).
  export WINEPREFIX="$prefix" WINEARCH="$arch" WINEDEBUG="${QS_WINEDEBUG:--all}" WINELOADER="$loader"
  # QS_EXTRA_DLLOVERRIDES adds a test's own overrides (the DLL-planting test).
  export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d${QS_EXTRA_DLLOVERRIDES:+;$QS_EXTRA_DLLOVERRIDES}"
  if [ -f "$state/display" ]; then export DISPLAY=":$(cat "$state/display")"; fi
}

free_display() {
  local n
  for n in $(seq 91 150); do
    if [ ! -e "/tmp/.X11-unix/X$n" ] && [ ! -e "/tmp/.X$n-lock" ]; then echo "$n"; return; fi
  done
  echo "session: no free display number" >&2
  exit 1
}

# The marker names the prefix's settings: a prefix made with older ones is
# made again.
make_prefix() {
  [ -f "$prefix/.qs-ready-2" ] && return
  rm -rf "$prefix"
  "$loader" wineboot -i >/dev/null 2>&1 || true
  "$loader" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null
  "$loader" reg add 'HKCU\Software\Wine\Fonts\Replacements' /v 'ＭＳ Ｐゴシック' /d IPAPGothic /f >/dev/null
  "$loader" reg add 'HKCU\Software\Wine\Fonts\Replacements' /v 'ＭＳ ゴシック' /d IPAGothic /f >/dev/null
  # A program that crashes (the planting test's unhardened control does, as
  # planted DLLs lack what it calls) ends without Wine's crash dialog, which
  # would stay on the screen and be taken for a later test's window.
  "$loader" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null
  wineserver -w
  touch "$prefix/.qs-ready-2"
}

# Wine links the Desktop and other shell folders of a new prefix to the Linux
# home folder: make them real folders inside the prefix, so that what the
# program puts there stays in the prefix (and in its file list).
real_shell_folders() {
  local link
  for link in "$prefix"/drive_c/users/*/* "$prefix"/drive_c/users/*/AppData/Roaming/Microsoft/Windows/*; do
    if [ -L "$link" ]; then rm "$link" && mkdir "$link"; fi
  done
}

stop_pid() {
  local file=$1
  [ -f "$file" ] || return 0
  local pid
  pid=$(cat "$file")
  if kill -0 "$pid" 2>/dev/null; then
    kill "$pid" 2>/dev/null || true
    for _ in $(seq 1 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    kill -9 "$pid" 2>/dev/null || true
  fi
  rm -f "$file"
}

case "$cmd" in
  start)
    "$0" stop "$state"
    if [ -n "${1:-}" ]; then
      n=${1#:}
    else
      n=$(free_display)
      Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >"$state/xvfb.log" 2>&1 &
      echo $! >"$state/xvfb.pid"
      for _ in $(seq 1 100); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.1; done
      # A display that did not come up would fail every window test later,
      # each for a reason of its own.
      if [ ! -e "/tmp/.X11-unix/X$n" ] || ! kill -0 "$(cat "$state/xvfb.pid")" 2>/dev/null; then
        echo "session: Xvfb did not come up on :$n" >&2
        cat "$state/xvfb.log" >&2
        exit 1
      fi
    fi
    echo "$n" >"$state/display"
    session_env
    make_prefix
    real_shell_folders
    wineserver -f -p >"$state/wineserver.log" 2>&1 &
    echo $! >"$state/wineserver.pid"
    # Bring up Wine's own background processes and the desktop now, with no
    # descriptors of ours: started later by a program, they would inherit
    # (and hold open) its output.
    "$loader" wineboot >/dev/null 2>&1 </dev/null || true
    "$loader" explorer.exe /desktop >/dev/null 2>&1 </dev/null &
    echo "session: display :$n, prefix $prefix"
    ;;
  run)
    session_env
    # "wine" stands for this machine's loader.
    if [ "${1:-}" = wine ]; then shift; exec "$loader" "$@"; fi
    exec "$@"
    ;;
  env)
    session_env
    echo "LANG=$LANG"
    echo "USER=${USER:-}"
    echo "WINEPREFIX=$WINEPREFIX"
    echo "WINEARCH=$WINEARCH"
    echo "WINEDEBUG=$WINEDEBUG"
    echo "WINEDLLOVERRIDES=$WINEDLLOVERRIDES"
    echo "DISPLAY=${DISPLAY:-}"
    echo "WINELOADER=$loader"
    ;;
  stop)
    if [ -f "$state/wineserver.pid" ]; then
      # Ends every Windows process of this prefix, then the server itself.
      session_env
      timeout 20 wineserver -k >/dev/null 2>&1 || true
    fi
    stop_pid "$state/wineserver.pid"
    stop_pid "$state/xvfb.pid"
    rm -f "$state/display"
    ;;
  *)
    echo "session: unknown command $cmd" >&2
    exit 2
    ;;
esac
