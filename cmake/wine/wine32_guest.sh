#!/bin/sh

# SPDX-FileCopyrightText: 2026 The Slotscan authors
#
# SPDX-License-Identifier: MIT

# Runs in the emulated PC, in a chroot of this machine's own root file system (see
# wine32_guest_root.sh): makes the Wine prefix once, keeps one wineserver running with the
# Wine session started, then runs the jobs that wine32.sh leaves in the job folder, one
# at a time, until it finds the file "stop" there.
#
#   wine32_guest.sh JOB_FOLDER
#
# A job ID is three files: ID.job (a shell script), ID.go (start it); the answer is ID.out
# (its output, through a pipe: Wine writes escape codes to a terminal) and ID.rc (its exit
# status). The folder also holds session.env (the Wine variables of the tests) and, from
# here, session.log and then "ready" or "failed".
spool=$1
cd / || exit 1
export HOME=/root PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin
# shellcheck disable=SC1091
. "$spool/session.env"
log() { echo "$*" >>"$spool/session.log"; }
uptime_s() { cut -d' ' -f1 /proc/uptime; }

log "guest up at $(uptime_s) s; WINEPREFIX=$WINEPREFIX"
start=$(uptime_s)
# A 32-bit prefix: the tests run 32-bit programs only, and it is made in half the time of
# a 64-bit one with its 32-bit half.
export WINEARCH=win32
if ! [ -x /usr/lib/wine/wine ]; then
  log "no 32-bit Wine here (/usr/lib/wine/wine): install wine32, or let the tests make an i386 root"
  touch "$spool/failed"
  exit 1
fi
# The prefix, and with it the Wine session (services, plug and play, the desktop). Under
# a slow emulation wineboot may stop waiting before wine.inf is installed ("boot event
# wait timed out"): the prefix is ready when no wineboot or rundll32 is left.
wine wineboot --init >"$spool/wineboot.out" 2>&1 </dev/null
while pgrep -f 'wineboot.exe|rundll32.exe' >/dev/null; do sleep 1; done
if ! [ -f "$WINEPREFIX/system.reg" ] || ! [ -f "$WINEPREFIX/drive_c/windows/system32/kernel32.dll" ]; then
  log "wineboot --init did not make the prefix:"
  cat "$spool/wineboot.out" >>"$spool/session.log"
  touch "$spool/failed"
  exit 1
fi
if ! grep -q '^#arch=win32' "$WINEPREFIX/system.reg"; then
  log "the Wine prefix $WINEPREFIX is not a 32-bit one ($(grep -m 1 '^#arch=' "$WINEPREFIX/system.reg"))"
  touch "$spool/failed"
  exit 1
fi
# One server for every job, kept after its last client leaves, with the session's
# processes; the one wineboot started ends when they are gone. Wait for that, then
# start the persistent one and the session again.
wineserver -w
wineserver -p
wine wineboot >>"$spool/wineboot.out" 2>&1 </dev/null
log "prefix made and session started in $(echo "$(uptime_s) $start" | awk '{ printf "%.0f", $1 - $2 }') s" \
  "($(du -sm "$WINEPREFIX" | cut -f1) MB; memory used: $(free -m | awk '/^Mem:/ { print $3 }') MB)"
echo "$(uptime_s)" >"$spool/ready"

job_timeout=${SLOTSCAN_WINE32_PC_JOB_TIMEOUT:-600}
while ! [ -e "$spool/stop" ]; do
  for go in "$spool"/*.go; do
    [ -e "$go" ] || continue
    id=${go%.go}
    rm -f "$go"
    { timeout -k 10 "$job_timeout" sh "$id.job"; echo $? >"$id.status"; } </dev/null 2>&1 | cat >"$id.out"
    # A test that ended the server (wineserver -k) leaves the next one a fresh one.
    pgrep -x wineserver >/dev/null || wineserver -p
    mv "$id.status" "$id.rc"
  done
  sleep 0.2
done
log "stopping at $(uptime_s) s"
wineserver -k
exit 0
