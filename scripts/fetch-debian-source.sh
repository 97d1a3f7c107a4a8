#!/usr/bin/env bash
# Fetches the original sources of a Debian source package of bookworm into
# DEST, through a private APT configuration so that the machine's own apt
# sources stay untouched: zlib (which carries contrib/minizip) and libzstd.
# Prints nothing when DEST/CHECK_FILE is already there.
set -euo pipefail

usage="usage: fetch-debian-source.sh PACKAGE DEST CHECK_FILE"
package="${1:?$usage}"
dest="${2:?$usage}"
check="${3:?$usage}"
if [ -f "$dest/$check" ]; then exit 0; fi

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

# Take the mirror and keyring from the machine's own bookworm source.
mirror="http://deb.debian.org/debian"
keyring="/usr/share/keyrings/debian-archive-keyring.gpg"
for f in /etc/apt/sources.list.d/*.sources; do
  [ -f "$f" ] || continue
  if grep -q '^Suites:.*\bbookworm\b' "$f"; then
    uri="$(awk '/^URIs:/{print $2; exit}' "$f")"
    key="$(awk '/^Signed-By:/{print $2; exit}' "$f")"
    case "$uri" in *debian-security*) continue ;; esac
    [ -n "$uri" ] && mirror="$uri"
    [ -n "$key" ] && keyring="$key"
    break
  fi
done

mkdir -p "$work/lists/partial" "$work/cache/archives/partial" "$work/etc/sources.list.d" "$work/src"
echo "deb-src [signed-by=$keyring] $mirror bookworm main" > "$work/etc/sources.list"
cat > "$work/apt.conf" <<CONF
Dir::Etc::sourcelist "$work/etc/sources.list";
Dir::Etc::sourceparts "$work/etc/sources.list.d";
Dir::State::Lists "$work/lists";
Dir::Cache "$work/cache";
APT::Sandbox::User "root";
CONF

export APT_CONFIG="$work/apt.conf"
apt-get update -q >/dev/null
if ! (cd "$work/src" && apt-get source --download-only -q "$package" >"$work/source.log" 2>&1); then
  cat "$work/source.log" >&2
  echo "fetch-debian-source: could not download Debian's $package source" >&2
  exit 1
fi
tarball="$(ls "$work"/src/"$package"_*.orig.tar.* | head -n 1)"
mkdir -p "$dest"
tar -xf "$tarball" -C "$dest" --strip-components=1
test -f "$dest/$check"
