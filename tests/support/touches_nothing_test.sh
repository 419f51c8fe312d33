#!/usr/bin/env bash
# Runs a test program as a user would by hand: HOME and the settings and
# runtime folders point into a watched folder that holds the editor's
# recent-file list, TMPDIR at an empty folder. The program must change no
# name, size, time or byte in the watched folder and leave the temporary
# folder empty.
#   touches_nothing_test.sh PROGRAM [ARGUMENT...]
set -euo pipefail
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
user="$work/user"
settings="$user/home/.config/@Z--V Studio"
mkdir -p "$settings" "$user/runtime" "$work/tmp"
chmod 700 "$user/runtime"
printf '[Recent%%20File%%20List]\nFile1=/home/user/mine.epk\n' >"$settings/Tarvex.conf"

snapshot() {
  (cd "$user" && find . -printf '%p %y %m %s %T@\n' | sort && find . -type f -exec sha256sum {} + | sort)
}
before="$(snapshot)"
env -u XDG_CACHE_HOME -u XDG_DATA_HOME -u XDG_STATE_HOME HOME="$user/home" XDG_CONFIG_HOME="$user/home/.config" \
  XDG_RUNTIME_DIR="$user/runtime" TMPDIR="$work/tmp" "$@"
after="$(snapshot)"

status=0
if [ "$before" != "$after" ]; then
  echo "the user's folders changed:"
  diff <(echo "$before") <(echo "$after") || true
  status=1
fi
left="$(ls -A "$work/tmp")"
if [ -n "$left" ]; then
  echo "left in the temporary folder: $left"
  status=1
fi
exit $status
