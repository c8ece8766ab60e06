#!/bin/sh
# Signs release programs in place with Authenticode (SHA-256), for the release step:
#   installer/sign.sh FILE...
# KESTROVA_SIGN_CERT           the certificate with its private key, a PKCS#12 (.pfx/.p12) file
# KESTROVA_SIGN_PASSWORD_FILE  a file holding that file's password (optional)
# KESTROVA_SIGN_TIMESTAMP_URL  an RFC 3161 timestamp server (optional; a signature without one
#                              stops being valid when the certificate expires)
# Keep the certificate and its password outside the repository. Without KESTROVA_SIGN_CERT the
# files stay unsigned and the script says so.
set -eu
if [ -z "${KESTROVA_SIGN_CERT:-}" ]; then
    for f; do echo "UNSIGNED: $(basename "$f") (KESTROVA_SIGN_CERT is not set)"; done
    exit 0
fi
[ -f "$KESTROVA_SIGN_CERT" ] || { echo "sign.sh: no certificate at $KESTROVA_SIGN_CERT" >&2; exit 1; }
for f; do
    # osslsigncode writes a new file; the signed one replaces the original only when complete.
    rm -f "$f.signed"
    set -- -pkcs12 "$KESTROVA_SIGN_CERT" -h sha256 -n Kestrova -in "$f" -out "$f.signed"
    if [ -n "${KESTROVA_SIGN_PASSWORD_FILE:-}" ]; then set -- "$@" -readpass "$KESTROVA_SIGN_PASSWORD_FILE"; fi
    if [ -n "${KESTROVA_SIGN_TIMESTAMP_URL:-}" ]; then set -- "$@" -ts "$KESTROVA_SIGN_TIMESTAMP_URL"; fi
    osslsigncode sign "$@" >/dev/null || { rm -f "$f.signed"; echo "sign.sh: could not sign $f" >&2; exit 1; }
    mv -f "$f.signed" "$f"
    echo "signed: $(basename "$f")"
done
