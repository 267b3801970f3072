# SPDX-FileCopyrightText: 2026 The Slotscan authors
#
# SPDX-License-Identifier: MIT

# Sourced by boot.sh: Debian's own kernel (package linux-image-amd64),
# downloaded with apt-get (not installed) and kept in a cache folder that every build
# folder shares.
#
#   debian_kernel CACHE_DIR [MODULE...]
#
# sets $kernel to the kernel image and, when modules are named, $modules to a folder that
# holds them and everything they depend on (plain .ko files, as Debian 12 ships them) and
# a file load-order listing them in an order that insmod accepts. The caller's skip
# function is called with the reason when no kernel (or a named module) can be had.
debian_kernel() {
  _cache=$1
  shift
  mkdir -p "$_cache"
  kernel="" modules=""
  _package=$(apt-cache depends linux-image-amd64 2>/dev/null |
             awk '/Depends: linux-image-[0-9]/ { print $2; exit }') || true
  if [ -n "$_package" ] && [ -s "$_cache/$_package.vmlinuz" ] &&
     { [ $# -eq 0 ] || [ -d "$_cache/$_package.modules" ]; }; then
    kernel="$_cache/$_package.vmlinuz"
  elif [ -n "$_package" ]; then
    echo "Downloading $_package (Debian's kernel; not installed on this machine)..."
    _download="$_cache/download"
    rm -rf "$_download" && mkdir -p "$_download"
    if (cd "$_download" && apt-get download -q "$_package" >"$_download/apt.log" 2>&1); then
      _deb=$(ls "$_download"/*.deb | head -n 1)
      # The image, and every module of the file systems and of virtio: a few megabytes.
      (cd "$_download" && dpkg-deb --fsys-tarfile "$_deb" |
        tar -x --wildcards './boot/vmlinuz-*' './lib/modules/*/kernel/fs/*' \
          './lib/modules/*/kernel/net/9p/*' './lib/modules/*/kernel/drivers/virtio/*')
      rm -rf "$_cache/$_package.modules" && mkdir -p "$_cache/$_package.modules"
      find "$_download/lib/modules" -name '*.ko' -exec mv {} "$_cache/$_package.modules/" \;
      mv "$_download"/boot/vmlinuz-* "$_cache/$_package.vmlinuz"
      rm -rf "$_download"
      kernel="$_cache/$_package.vmlinuz"
    else
      echo "apt-get download $_package failed:"
      sed 's/^/  /' "$_download/apt.log"
    fi
  fi
  if [ -z "$kernel" ]; then
    # Offline: any kernel fetched before will do.
    kernel=$(ls -t "$_cache"/*.vmlinuz 2>/dev/null | head -n 1) || true
    [ -n "$kernel" ] ||
      skip "the kernel package linux-image-amd64 cannot be downloaded (run apt-get update; is a Debian mirror reachable?)."
    echo "Using the kernel downloaded before: $kernel"
  fi
  [ $# -eq 0 ] && return 0
  modules="${kernel%.vmlinuz}.modules"
  [ -d "$modules" ] || skip "$kernel has no modules beside it in $modules."
  # Each module after those it depends on (the "depends=" field of its .modinfo section).
  : >"$modules/load-order"
  for _m in "$@"; do
    _debian_kernel_order "$modules" "$_m" || skip "the module $_m is not in $(basename "$kernel" .vmlinuz)."
  done
}

_debian_kernel_order() {
  grep -qx "$2" "$1/load-order" && return 0
  [ -f "$1/$2.ko" ] || return 1
  for _d in $(grep -ao 'depends=[A-Za-z0-9_,-]*' "$1/$2.ko" | head -n 1 | sed 's/^depends=//; s/,/ /g'); do
    _debian_kernel_order "$1" "$_d" || return 1
  done
  echo "$2" >>"$1/load-order"
}
