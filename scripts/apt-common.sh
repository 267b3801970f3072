# shellcheck shell=sh
# SPDX-FileCopyrightText: 2026 The Slotscan authors
#
# SPDX-License-Identifier: MIT

# Sourced by the setup scripts: apt as they use it. Every apt call waits for the package
# system's lock (another apt run, an unattended upgrade) rather than failing at once, and
# a failed refresh of the package lists is tried once more. apt-get runs as root, through
# sudo when started by another user.
#
#   apt_get ARGUMENT...     apt-get with the lock timeout, non-interactive
#   installed PACKAGE       whether dpkg has PACKAGE installed
#   missing_of PACKAGE...   prints those not installed, each after a space
#   uninstallable PACKAGE...  prints those apt cannot install (asked one by one, simulated),
#                           or all of them when each alone could be: apt failed otherwise
#   refresh                 apt-get update, once per run (refreshed=no asks again)
#   install_or_fail WHAT PACKAGE...  installs those of PACKAGE not installed, without
#                           recommends; exits 1 naming those apt could not install, which
#                           WHAT ("the build", say) needs
#
# SLOTSCAN_APT_LOCK_TIMEOUT (600) and SLOTSCAN_APT_RETRY_PAUSE (30) are in seconds.
if [ "$(id -u)" -eq 0 ]; then as_root=""; else as_root="sudo"; fi
apt_get() {
  DEBIAN_FRONTEND=noninteractive $as_root apt-get \
    -o "DPkg::Lock::Timeout=${SLOTSCAN_APT_LOCK_TIMEOUT:-600}" "$@"
}
installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"; }
missing_of() {
  _missing=""
  for _p in "$@"; do installed "$_p" || _missing="$_missing $_p"; done
  echo "$_missing"
}
refreshed=no
refresh() {
  [ "$refreshed" = no ] || return 0
  refreshed=yes
  apt_get update -qq && return 0
  echo "Refreshing the package lists failed; trying again in ${SLOTSCAN_APT_RETRY_PAUSE:-30} s."
  sleep "${SLOTSCAN_APT_RETRY_PAUSE:-30}"
  # Lists that still fail (a mirror in the middle of a sync) do not stop us: an install
  # that then lacks a package fails, and says which.
  apt_get update -qq || echo "Some package lists could not be refreshed; going on with those at hand."
}
uninstallable() {
  _broken=""
  for _p in "$@"; do apt-get -s -qq install "$_p" >/dev/null 2>&1 || _broken="$_broken $_p"; done
  echo "${_broken:- $*}"
}

install_or_fail() {
  what=$1
  shift
  # shellcheck disable=SC2086
  missing=$(missing_of "$@")
  [ -n "$missing" ] || return 0
  refresh
  echo "Installing:$missing"
  # shellcheck disable=SC2086
  apt_get install -y -qq --no-install-recommends $missing || true
  # shellcheck disable=SC2086
  still=$(missing_of $missing)
  if [ -n "$still" ]; then
    # shellcheck disable=SC2086
    echo "FAILED: packages needed for $what could not be installed:$(uninstallable $still)"
    echo "(apt-get's messages are above; run apt-get update and try again.)"
    exit 1
  fi
}
