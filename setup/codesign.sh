#!/usr/bin/env bash
# Signs a Windows program with osslsigncode (Authenticode, SHA-256):
#   codesign.sh IN [OUT]      (no OUT: IN is signed in place)
# The certificate comes from the environment:
#   VANTORA_CODESIGN_KEY            private key (PEM or DER), or a .pfx/.p12 holding key and chain
#   VANTORA_CODESIGN_CERT           certificate chain (PEM or DER) of a PEM/DER key
#   VANTORA_CODESIGN_PASSWORD_FILE  optional: the password of the key
#   VANTORA_CODESIGN_TIMESTAMP_URL  optional: an RFC 3161 time-stamp server
set -euo pipefail
in="$1"
out="${2:-$1}"
key="${VANTORA_CODESIGN_KEY:?no signing key given}"
case "$key" in
*.pfx | *.p12) args=(-pkcs12 "$key") ;;
*) args=(-certs "${VANTORA_CODESIGN_CERT:?a PEM or DER key needs VANTORA_CODESIGN_CERT}" -key "$key") ;;
esac
[ -z "${VANTORA_CODESIGN_PASSWORD_FILE:-}" ] || args+=(-readpass "$VANTORA_CODESIGN_PASSWORD_FILE")
[ -z "${VANTORA_CODESIGN_TIMESTAMP_URL:-}" ] || args+=(-ts "$VANTORA_CODESIGN_TIMESTAMP_URL")
signed="$out.signing"
rm -f "$signed"
if ! osslsigncode sign "${args[@]}" -h sha256 -n "Vantora Online" -in "$in" -out "$signed" >"$signed.log" 2>&1; then
    cat "$signed.log" >&2
    rm -f "$signed" "$signed.log"
    echo "codesign: signing $in failed" >&2
    exit 1
fi
rm -f "$signed.log"
mv -f "$signed" "$out"
