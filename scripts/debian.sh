# shellcheck shell=bash
# Sourced by the scripts that install Debian packages or build from Debian's
# source packages. Everything apt prints goes to stderr, so a function whose
# output is captured prints only its result.

# as_root COMMAND...: runs it as root, through sudo when we are not root.
as_root() {
  if [ "$(id -u)" -eq 0 ]; then
    "$@"
  elif command -v sudo >/dev/null; then
    sudo "$@"
  else
    return 127
  fi
}

# install_packages PACKAGE...: installs those not yet installed.
install_packages() {
  local missing=() p
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return
  if [ "$(id -u)" -ne 0 ] && ! command -v sudo >/dev/null; then
    echo "not root and no sudo: please install these Debian packages, then run this again: ${missing[*]}" >&2
    exit 1
  fi
  as_root apt-get update -q >&2
  DEBIAN_FRONTEND=noninteractive as_root apt-get install -y -q --no-install-recommends "${missing[@]}" >&2
}

# Whether apt knows the source package $1 in version $2 (upstream part).
has_source() {
  apt-cache showsrc --only-source "$1" 2>/dev/null | grep -q "^Version: \([0-9]*:\)\?$2"
}

# The deb-src entry for this release's main component, from the entry the
# machine takes its Debian packages from (deb822 or one-line form).
source_entry() {
  local codename
  codename=$(. /etc/os-release && echo "$VERSION_CODENAME")
  cat /etc/apt/sources.list.d/*.sources 2>/dev/null | awk -v c="$codename" '
    BEGIN { RS = ""; FS = "\n" }
    {
      uris = ""; key = ""; ours = 0; mainc = 0; deb = 0
      for (i = 1; i <= NF; i++) {
        if ($i ~ /^Types:/ && (" " $i " ") ~ / deb /) deb = 1
        if ($i ~ /^URIs:/) uris = $i
        if ($i ~ /^Signed-By:/) key = $i
        if ($i ~ /^Suites:/ && (" " $i " ") ~ (" " c " ")) ours = 1
        if ($i ~ /^Components:/ && (" " $i " ") ~ / main /) mainc = 1
      }
      if (deb && ours && mainc && uris != "") {
        print "Types: deb-src"; print uris; print "Suites: " c; print "Components: main"
        if (key != "") print key
        found = 1; exit
      }
    }
    END { if (!found) exit 1 }' && return
  [ -f /etc/apt/sources.list ] || return 1
  awk -v c="$codename" '$1 == "deb" && $0 ~ (" " c " ") && / main/ {
    sub(/^deb/, "deb-src"); print; found = 1; exit } END { if (!found) exit 1 }' /etc/apt/sources.list
}

# Makes apt find the source package $1 in version $2: adds a deb-src entry
# (once) when the machine has none that serves it.
ensure_source() {
  has_source "$1" "$2" && return
  local file=/etc/apt/sources.list.d/kestrane-src.sources entry
  if [ ! -f "$file" ] && [ ! -f "${file%.sources}.list" ]; then
    entry=$(source_entry) || { echo "no apt entry for Debian's main packages found to take source packages from" >&2; exit 1; }
    case "$entry" in
      deb-src\ *) file=${file%.sources}.list ;;
    esac
    printf '%s\n' "$entry" | as_root tee "$file" >/dev/null ||
      { echo "cannot add $file (not root and no sudo): add a deb-src entry for Debian's main packages" >&2; exit 1; }
  fi
  as_root apt-get update -q >&2
  has_source "$1" "$2" || { echo "apt has no source package $1 $2" >&2; exit 1; }
}

# fetch_source PACKAGE VERSION FOLDER: unpacks Debian's source of PACKAGE in
# FOLDER (once) and prints the unpacked folder.
fetch_source() {
  local package=$1 version=$2 work=$3 dir
  mkdir -p "$work"
  dir=$(find "$work" -maxdepth 1 -type d -name "$package-$version*" | head -n 1)
  if [ -z "$dir" ]; then
    ensure_source "$package" "$version"
    (cd "$work" && apt-get source -q --only-source "$package" >&2)
    dir=$(find "$work" -maxdepth 1 -type d -name "$package-$version*" | head -n 1)
  fi
  if [ -z "$dir" ]; then
    echo "apt-get source $package did not give version $version" >&2
    exit 1
  fi
  echo "$dir"
}

# Library caches: a library counts as built only when the stamp written
# after its install is there, so an interrupted install is built again.
is_built() { [ -f "$1/.kestrane-complete" ]; }
mark_built() { touch "$1/.kestrane-complete"; }

# remove_stale_builds FOLDER NAME KEEP: removes the cached builds FOLDER/NAME-*
# of other versions or options than KEEP, which nothing uses any more.
remove_stale_builds() {
  local other
  for other in "$1/$2"-*; do
    [ "$other" = "$3" ] || rm -rf "$other"
  done
}
