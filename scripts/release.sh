#!/usr/bin/env bash
# Cuts a release, and checks that builds repeat byte for byte.
#   scripts/release.sh             from a clean checkout: the source archive,
#                                  the .deb, the Windows zip and installer and
#                                  the browser site of this commit's version,
#                                  with SHA256SUMS and the release notes, in
#                                  build/releases/kestrane-<version> (the last
#                                  line printed)
#   scripts/release.sh --check     the release made twice, from two folders,
#                                  under other user names, umasks, locales and
#                                  time zones; every artefact must be the same
#                                  byte for byte
#   scripts/release.sh --packages  (the test command) the .deb, the zip and
#                                  the installer of this tree and of a copy
#                                  of it elsewhere, built the same two ways,
#                                  compared; then a .deb of another version
#                                  must fail the version check
# Every artefact is built from the source archive, unpacked, so the archive
# is known to build; each must carry the version of project() in
# CMakeLists.txt (and of the commit's tag, where it has one), or the script
# fails. A mismatch of bytes is shown by diffoscope.
set -euo pipefail
shopt -s inherit_errexit
root=$(cd "$(dirname "$0")/.." && pwd)
mode=${1:-release}
jobs=$(nproc)

say() { echo "release: $*" >&2; }

version=$(sed -n 's/^project(Kestrane VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")
[ -n "$version" ] || { say "no version in CMakeLists.txt"; exit 1; }

# The two builds' conditions: every tool must give the same bytes under both.
first_build() { umask 022; export USER=kestrane LOGNAME=kestrane TZ=UTC LC_ALL=C; }
second_build() {
  umask 077
  export USER=someone-else LOGNAME=someone-else TZ=Pacific/Kiritimati LC_ALL=C.UTF-8
}

# Builds the source tree $1 into folder $2: the .deb, the Windows zip and
# installer, and with $3 = site the browser site as an archive.
build_artefacts() {
  local src=$1 out=$2 windows site
  mkdir -p "$out"
  (cd "$src" && cmake --preset play >&2 && cmake --build --preset play -j "$jobs" >&2)
  # CPack gives the package's ar members the modes its files were made with.
  (cd "$src/build/play" && umask 022 && cpack -G DEB -B "$out/cpack" >&2)
  mv "$out/cpack/kestrane_${version}_amd64.deb" "$out/"
  rm -rf "$out/cpack"
  windows=$("$src/scripts/windows.sh" --build | tail -n 1)
  cp "$windows/kestrane-$version-win64.zip" "$windows/kestrane-$version-setup.exe" "$out/"
  [ "${3:-}" = site ] || return 0
  site=$("$src/scripts/web.sh" --build | tail -n 1)
  tar -C "$site" --transform "s|^\\.|kestrane-$version-web|" --sort=name --format=gnu \
    --mtime="@$SOURCE_DATE_EPOCH" --owner=0 --group=0 --numeric-owner --mode=u=rwX,go=rX \
    -cf - . | gzip -9n >"$out/kestrane-$version-web.tar.gz"
}

# What version each artefact in folder $1 carries, one "artefact: version"
# a line: the package's, its manual page's, metainfo's newest release and
# changelog's; the Windows program's and installer's version resources; the
# site's service worker; the source's project().
versions_of() {
  local dir=$1 deb zip
  deb=$dir/kestrane_${version}_amd64.deb
  if [ -f "$deb" ]; then
    echo ".deb: $(dpkg-deb -f "$deb" Version)"
    dpkg-deb -x "$deb" "$dir/.unpacked"
    echo ".deb's manual page: $(zcat "$dir/.unpacked/usr/share/man/man6/kestrane.6.gz" |
      sed -n 's/^\.TH .*"Kestrane \([^"]*\)".*/\1/p')"
    echo ".deb's metainfo: $(sed -n 's/.*<release version="\([^"]*\)".*/\1/p' \
      "$dir/.unpacked/usr/share/metainfo/org.example.kestrane.metainfo.xml" | head -n 1)"
    echo ".deb's changelog: $(zcat "$dir/.unpacked/usr/share/doc/kestrane/changelog.gz" |
      sed -n '1s/^kestrane (\([^)]*\)).*/\1/p')"
    rm -rf "$dir/.unpacked"
  fi
  zip=$dir/kestrane-$version-win64.zip
  if [ -f "$zip" ]; then
    echo "kestrane.exe: $(unzip -p "$zip" "kestrane-$version/kestrane.exe" | product_version)"
  fi
  if [ -f "$dir/kestrane-$version-setup.exe" ]; then
    echo "the installer: $(product_version <"$dir/kestrane-$version-setup.exe")"
  fi
  if [ -f "$dir/kestrane-$version-web.tar.gz" ]; then
    echo "the service worker: $(tar -xzOf "$dir/kestrane-$version-web.tar.gz" \
      "kestrane-$version-web/sw.js" | sed -n "s/^const version = '\([^-']*\)-.*/\1/p")"
  fi
  if [ -f "$dir/kestrane-$version.tar.gz" ]; then
    echo "the source: $(tar -xzOf "$dir/kestrane-$version.tar.gz" "kestrane-$version/CMakeLists.txt" |
      sed -n 's/^project(Kestrane VERSION \([0-9.]*\).*/\1/p')"
  fi
}

# The ProductVersion string of the Windows program on standard input.
product_version() {
  strings -n 1 -el | awk 'previous == "ProductVersion" { print; exit } { previous = $0 }'
}

# Fails, naming them, unless every artefact in folder $1 carries $version.
check_versions() {
  local found
  found=$(versions_of "$1")
  echo "   ${found//$'\n'/$'\n'   }" >&2
  if grep -v -- ": ${version//./\\.}\$" <<<"$found" >&2; then
    say "the lines above do not carry version $version"
    return 1
  fi
}

# Fails unless folders $1 and $2 hold the same files, byte for byte; for each
# that differs, diffoscope's report goes to stderr.
compare() {
  local a=$1 b=$2 f same=0
  if [ "$(ls "$a")" != "$(ls "$b")" ]; then
    say "$a and $b hold different files"
    return 1
  fi
  for f in "$a"/*; do
    f=${f##*/}
    if cmp -s "$a/$f" "$b/$f"; then
      say "$f: the same in both ($(stat -c %s "$a/$f") bytes)"
    else
      say "$f differs between the two builds:"
      diffoscope --text - "$a/$f" "$b/$f" | head -n 200 >&2 || true
      same=1
    fi
  done
  return $same
}

# The source of HEAD, and every artefact built from it, into folder $1,
# building in folder $2.
release() {
  local out=$1 work=$2 name=kestrane-$version tag
  cd "$root"
  [ -z "$(git status --porcelain)" ] || { git status --short >&2; say "the tree has changes: commit them first"; exit 1; }
  tag=$(git describe --tags --exact-match HEAD 2>/dev/null) || tag=""
  [ -z "$tag" ] || [ "$tag" = "v$version" ] || { say "tag $tag, but CMakeLists.txt says $version"; exit 1; }
  rm -rf "$out" "$work"
  mkdir -p "$out" "$work"
  git archive --format=tar --prefix="$name/" HEAD | gzip -9n >"$out/$name.tar.gz"
  tar -C "$work" -xzf "$out/$name.tar.gz"
  SOURCE_DATE_EPOCH=$("$work/$name/scripts/source-date.sh")
  export SOURCE_DATE_EPOCH
  build_artefacts "$work/$name" "$out" site
  check_versions "$out"
  sed -n "/^kestrane ($version)/,/^ -- /p" "$work/$name/dist/changelog" >"$work/notes"
  [ -s "$work/notes" ] || { say "dist/changelog has no entry for $version"; exit 1; }
  (cd "$out" && sha256sum -- * >"$work/SHA256SUMS")
  mv "$work/SHA256SUMS" "$out/"
  mv "$work/notes" "$out/$name-notes.txt"
}

case "$mode" in
  release)
    out=$root/build/releases/kestrane-$version
    release "$out" "$root/build/releases/work"
    echo "$out"
    ;;
  --check)
    checked=$root/build/releases/check
    (first_build && release "$checked/first" "$checked/work")
    (second_build && release "$checked/second" "$checked/elsewhere-ü/work")
    compare "$checked/first" "$checked/second"
    say "every artefact of $version repeats byte for byte"
    ;;
  --packages)
    checked=$root/build/reproducible
    copy="$checked/another folder, ü/kestrane"
    rm -rf "$checked"
    mkdir -p "$copy"
    tar -C "$root" --exclude=./build --exclude=./.git --exclude=node_modules -cf - . | tar -C "$copy" -xf -
    SOURCE_DATE_EPOCH=$("$root/scripts/source-date.sh")
    export SOURCE_DATE_EPOCH
    (first_build && build_artefacts "$root" "$checked/first")
    (second_build && build_artefacts "$copy" "$checked/second")
    compare "$checked/first" "$checked/second"
    check_versions "$checked/first"
    # The check must see a version changed by hand: the same .deb, but 0.0.
    dpkg-deb -R "$checked/first/kestrane_${version}_amd64.deb" "$checked/changed"
    sed -i 's/^Version: .*/Version: 0.0/' "$checked/changed/DEBIAN/control"
    mkdir "$checked/other"
    dpkg-deb -b "$checked/changed" "$checked/other/kestrane_${version}_amd64.deb" >/dev/null
    if check_versions "$checked/other" 2>/dev/null; then
      say "a .deb of version 0.0 passed the version check"
      exit 1
    fi
    say "the .deb, the zip and the installer repeat byte for byte, and carry version $version"
    ;;
  *) echo "usage: scripts/release.sh [--check | --packages]" >&2; exit 2 ;;
esac
