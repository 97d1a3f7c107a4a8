#!/usr/bin/env bash
# Fetches zlib's Debian source package (which carries contrib/minizip) into
# the folder given as $1, through a private APT configuration so that the
# machine's own apt sources stay untouched. Prints nothing when the source
# is already there.
set -euo pipefail

dest="${1:?usage: fetch-minizip.sh DEST}"
if [ -f "$dest/contrib/minizip/unzip.c" ]; then exit 0; fi

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
if ! (cd "$work/src" && apt-get source --download-only -q zlib >"$work/source.log" 2>&1); then
  cat "$work/source.log" >&2
  echo "fetch-minizip: could not download Debian's zlib source" >&2
  exit 1
fi
tarball="$(ls "$work"/src/zlib_*.orig.tar.* | head -n 1)"
mkdir -p "$dest"
tar -xf "$tarball" -C "$dest" --strip-components=1
test -f "$dest/contrib/minizip/unzip.c"
