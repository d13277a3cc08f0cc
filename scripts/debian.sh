# shellcheck shell=bash
# Sourced by the scripts that install Debian packages or fetch Debian's
# source packages (scripts/cross-libs.sh builds libraries from them). Every
# function prints only what its caller captures; apt's own output goes to
# stderr.
#
#   as_root COMMAND...              runs it as root (directly or through sudo)
#   install_packages TAG PACKAGE... installs the packages that are missing, or,
#                                   without root or sudo, names them and exits 1
#   debian_version PACKAGE VERSION  prints the full Debian version of the
#                                   newest source of PACKAGE at upstream VERSION
#                                   that apt serves (security revisions included)
#   fetch_debian_source PACKAGE FULL FOLDER
#                                   unpacks Debian's source of PACKAGE at the
#                                   full version FULL under FOLDER, prints its folder

# Whether this shell can act as root, itself or through sudo.
can_be_root() {
  [ "$(id -u)" -eq 0 ] || command -v sudo >/dev/null
}

as_root() {
  if [ "$(id -u)" -eq 0 ]; then
    "$@"
  else
    sudo "$@"
  fi
}

# A check of apt's state and the change it leads to (a sources entry, the
# lists, the packages installed) are made by one run at a time, whatever its
# checkout, cache or target: apt's own lock covers one command, not both.
apt_lock_file=/tmp/kestrane-apt.lock
# lock_apt: holds that lock until this shell ends (its callers run in a
# subshell); a nested call keeps the one held.
lock_apt() {
  [ -n "${apt_lock:-}" ] && return 0
  # Another user's lock file can only be opened for reading, enough to lock.
  : >>"$apt_lock_file" 2>/dev/null || true
  exec {apt_lock}<"$apt_lock_file"
  if ! flock -n "$apt_lock"; then
    echo "waiting for another run's use of apt" >&2
    flock "$apt_lock"
  fi
}

# TAG starts the one line said when the packages cannot be installed.
install_packages() {
  local tag=$1 missing=() p
  shift
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'ok installed' || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  if ! can_be_root; then
    echo "$tag: as root, install: apt-get install ${missing[*]}" >&2
    exit 1
  fi
  (
    lock_apt &&
      as_root apt-get -o DPkg::Lock::Timeout=1200 update -q >&2 &&
      as_root env DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=1200 \
        install -y -q --no-install-recommends "${missing[@]}" >&2
  )
}

# Whether apt knows the source of PACKAGE at exactly VERSION (with any Debian
# revision).
# apt's answer is read whole before it is searched: grep -q stopping early
# would kill apt-cache with SIGPIPE, which pipefail reads as a miss.
source_known() {
  local list
  list=$(apt-cache showsrc "$1" 2>/dev/null) || return 1
  grep -qE "^Version: ([0-9]+:)?$2([-+~].*)?\$" <<<"$list"
}

# The deb-src entry for this release, built from the Debian entry the machine
# already takes its packages from (its mirror and key): deb822 first, then
# the one-line format.
source_entry() {
  local codename=$1 entry=""
  if [ -f /etc/apt/sources.list.d/debian.sources ]; then
    entry=$(awk -v c="$codename" '
      BEGIN { RS = ""; FS = "\n" }
      {
        uris = ""; key = ""; ours = 0
        for (i = 1; i <= NF; i++) {
          if ($i ~ /^URIs:/) uris = $i
          if ($i ~ /^Signed-By:/) key = $i
          if ($i ~ /^Suites:/ && (" " $i " ") ~ (" " c " ")) ours = 1
        }
        if (ours && uris != "") {
          print "Types: deb-src"; print uris; print "Suites: " c; print "Components: main"
          if (key != "") print key
          exit
        }
      }' /etc/apt/sources.list.d/debian.sources)
    [ -n "$entry" ] && { printf '%s\n' "$entry"; return; }
  fi
  [ -f /etc/apt/sources.list ] && awk -v c="$codename" '
    $1 == "deb" && $0 ~ (" " c " ") && / main/ { sub(/^deb/, "deb-src"); print; exit }' \
    /etc/apt/sources.list
}

# Makes apt find PACKAGE's source at VERSION, adding a deb-src entry when it
# does not.
ensure_source() {
  local package=$1 version=$2 codename entry file
  source_known "$package" "$version" && return 0
  if ! can_be_root; then
    echo "source packages: apt cannot find the source of $package $version; as root, add a deb-src entry for Debian's main and run apt-get update" >&2
    exit 1
  fi
  codename=$(. /etc/os-release && echo "$VERSION_CODENAME") || exit 1
  entry=$(source_entry "$codename")
  if [ -z "$entry" ]; then
    echo "source packages: no Debian entry for $codename found to add source packages from" >&2
    exit 1
  fi
  case "$entry" in
    Types:*) file=/etc/apt/sources.list.d/kestrane-src.sources ;;
    *) file=/etc/apt/sources.list.d/kestrane-src.list ;;
  esac
  # Run inside debian_version's command substitution, where set -e is off.
  printf '%s\n' "$entry" | as_root tee "$file" >/dev/null || exit 1
  as_root apt-get -o DPkg::Lock::Timeout=1200 update -q >&2 || exit 1
  if ! source_known "$package" "$version"; then
    echo "source packages: apt has no source of $package $version even with $file" >&2
    exit 1
  fi
}

# A subshell, so the lock on apt ends with it.
debian_version() (
  local package=$1 version=$2 list candidate best=""
  lock_apt
  ensure_source "$package" "$version" || return 1
  list=$(apt-cache showsrc "$package" 2>/dev/null) || return 1
  for candidate in $(awk -v v="$version" '$1 == "Version:" && $2 ~ ("^([0-9]+:)?" v "([-+~]|$)") { print $2 }' <<<"$list"); do
    if [ -z "$best" ] || dpkg --compare-versions "$candidate" gt "$best"; then best=$candidate; fi
  done
  if [ -z "$best" ]; then
    echo "source packages: apt has no source of $package $version" >&2
    return 1
  fi
  echo "$best"
)

# Each full version is unpacked in a folder of its own: two Debian revisions
# of one upstream version unpack under the same name.
fetch_debian_source() {
  local package=$1 full=$2 work=$3/$1_${2//:/_} dir tmp
  mkdir -p "$work" || return 1
  dir=$(find "$work" -mindepth 1 -maxdepth 1 -type d ! -name 'unpack.*' | head -n 1) || return 1
  if [ -z "$dir" ]; then
    command -v dpkg-source >/dev/null || install_packages "source packages" dpkg-dev || return 1
    # Unpacked aside and moved in whole, so an interrupted run leaves no
    # half-unpacked folder that a later one would take as done.
    tmp=$(mktemp -d "$work/unpack.XXXXXX") || return 1
    (cd "$tmp" && apt-get source -q "$package=$full" >&2) || { rm -rf "$tmp"; return 1; }
    dir=$(find "$tmp" -mindepth 1 -maxdepth 1 -type d | head -n 1) || { rm -rf "$tmp"; return 1; }
    if [ -n "$dir" ]; then
      mv "$dir" "$work/" || return 1
      dir=$work/$(basename "$dir")
    fi
    rm -rf "$tmp"
  fi
  if [ -z "$dir" ]; then
    echo "source packages: apt-get source $package=$full gave no folder" >&2
    return 1
  fi
  echo "$dir"
}
