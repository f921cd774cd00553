#!/usr/bin/env bash
# Installs what the build needs on Debian 12: with apt-get when run as root, otherwise it names
# the missing packages and stops.
#   scripts/deps.sh             the POSIX build
#   scripts/deps.sh --windows   also the Windows cross build and its run under Wine: the MinGW-w64
#                               compilers, Wine, GoogleTest's sources, and SQLite for MinGW made
#                               from Debian's source package into .deps/sqlite (see below)
set -euo pipefail
cd "$(dirname "$0")/.."
windows=0
[ "${1:-}" = "--windows" ] && windows=1

packages=(cmake ninja-build g++ pkg-config libgtest-dev libgmock-dev libbenchmark-dev
          libsqlite3-dev sqlite3 clang clang-format libical-dev)
if [ $windows -eq 1 ]; then
  # googletest: its sources (/usr/src/googletest) are built for Windows. tcl8.6, dpkg-dev and make
  # turn SQLite's source package into its single-file form.
  packages+=(g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix wine wine64
             googletest tcl8.6 dpkg-dev xz-utils make)
fi
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  if [ "$(id -u)" -eq 0 ]; then
    echo "Installing: ${missing[*]}" >&2
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq "${missing[@]}" >/dev/null
  else
    echo "Missing packages: ${missing[*]}" >&2
    echo "Install them with: sudo apt-get install -y ${missing[*]}" >&2
    exit 1
  fi
fi
[ $windows -eq 1 ] || exit 0

# SQLite for MinGW. Debian packages SQLite for Debian only, so the Windows build compiles SQLite's
# single-file form (sqlite3.c and sqlite3.h), made here from Debian's own source package of the
# SQLite that the POSIX build uses (same version, Debian's patches applied). The source package is
# fetched with apt-get source through a source list of its own, which leaves the system's apt
# configuration as it is. The result is kept in .deps/sqlite until the version changes.
out=.deps/sqlite
version=$(dpkg-query -W -f='${Version}' libsqlite3-dev)
if [ -f "$out/sqlite3.c" ] && [ "$(cat "$out/VERSION" 2>/dev/null)" = "$version" ]; then
  exit 0
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
codename=$(. /etc/os-release && echo "$VERSION_CODENAME")
mkdir -p "$work/lists/partial" "$work/src"
cat >"$work/sources.list" <<EOF
deb-src http://deb.debian.org/debian $codename main
deb-src http://deb.debian.org/debian $codename-updates main
deb-src http://deb.debian.org/debian-security $codename-security main
EOF
apt_src=(-o "Dir::Etc::SourceList=$work/sources.list" -o Dir::Etc::SourceParts=-
         -o "Dir::State::Lists=$work/lists" -o Dir::Cache::srcpkgcache= -o Dir::Cache::pkgcache=
         -o APT::Sandbox::User=root)
echo "Making SQLite $version for MinGW from Debian's source package" >&2
apt-get "${apt_src[@]}" update -qq
# The version of libsqlite3-dev, or the archive's newest when that one is gone from it.
(cd "$work/src" && { apt-get "${apt_src[@]}" source --download-only -qq "sqlite3=$version" ||
                     apt-get "${apt_src[@]}" source --download-only -qq sqlite3; } >/dev/null)
dpkg-source -x --no-check "$work/src"/sqlite3_*.dsc "$work/sqlite" >/dev/null
mkdir -p "$work/sqlite/bld"
(cd "$work/sqlite/bld" && ../configure --disable-tcl >/dev/null && make -s sqlite3.c >/dev/null)
rm -rf "$out"
mkdir -p "$out"
cp "$work/sqlite/bld/sqlite3.c" "$work/sqlite/bld/sqlite3.h" "$work/sqlite/LICENSE.md" "$out/"
echo "$version" >"$out/VERSION"
