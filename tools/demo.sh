#!/usr/bin/env bash
# The main job: builds the library, the qzupdate host and the demo patch
# service; signs the demo patch with a demo certificate authority made for
# this run; starts the service on loopback; lets the host check for the patch,
# run the update check without dialogs, download the patch and verify its
# signature, the same for a Linux tarball with a detached signature; stops the
# service again.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/deps.sh demo

build=build/release
CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQZ_BUILD_TESTS=OFF
cmake --build "$build" --target qzupdate qzdemoservice QzAutoUpdate
qz="$build/bin/qzupdate"

work=$(mktemp -d)
service_pid=
cleanup() {
  if [ -n "$service_pid" ]; then kill "$service_pid" 2>/dev/null || true; wait "$service_pid" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

# A demo certificate authority and a code-signing certificate, valid for two
# days: nothing that expires is kept in the repository.
pki="$work/pki"
mkdir -p "$pki"
openssl req -x509 -newkey rsa:2048 -nodes -keyout "$pki/ca.key" -out "$pki/ca.pem" -days 2 \
  -subj "/CN=QzDemo Root CA" -addext "basicConstraints=critical,CA:TRUE" \
  -addext "keyUsage=critical,keyCertSign,cRLSign" 2>/dev/null
openssl req -newkey rsa:2048 -nodes -keyout "$pki/signer.key" -out "$pki/signer.csr" \
  -subj "/CN=QzDemo Software" 2>/dev/null
printf 'basicConstraints=CA:FALSE\nkeyUsage=critical,digitalSignature\nextendedKeyUsage=codeSigning\n' > "$pki/signer.ext"
openssl x509 -req -in "$pki/signer.csr" -CA "$pki/ca.pem" -CAkey "$pki/ca.key" -CAcreateserial \
  -out "$pki/signer.pem" -days 2 -extfile "$pki/signer.ext" 2>/dev/null

# The served folder: the result document and the patch, signed for this run.
cp -r demo/service "$work/service"
patch="$work/service/QzDemo-1.1.0.0.exe"
rm "$patch"
osslsigncode sign -certs "$pki/signer.pem" -key "$pki/signer.key" -h sha256 -n "QzDemo 1.1" \
  -in demo/service/QzDemo-1.1.0.0.exe -out "$patch" >/dev/null
sed -i "s/filesize=\"[0-9]*\"/filesize=\"$(stat -c %s "$patch")\"/" "$work/service/patch.xml"
# A Linux patch is a tarball: its signature is a detached CMS file beside it,
# made with the standard tool, which the library fetches as the patch URL
# plus ".p7s".
mkdir -p "$work/tarball/qzdemo-1.1.0.0"
printf 'QzDemo 1.1 for Linux\n' > "$work/tarball/qzdemo-1.1.0.0/README"
tarball="$work/service/qzdemo-1.1.0.0.tar.gz"
tar -czf "$tarball" -C "$work/tarball" qzdemo-1.1.0.0
openssl cms -sign -binary -in "$tarball" -signer "$pki/signer.pem" -inkey "$pki/signer.key" -md sha256 \
  -outform DER -out "$tarball.p7s"
sed -e "s/filesize=\"[0-9]*\"/filesize=\"$(stat -c %s "$tarball")\"/" \
    -e "s|{BASE}/QzDemo-1.1.0.0.exe|{BASE}/qzdemo-1.1.0.0.tar.gz|" "$work/service/patch.xml" > "$work/service/linux.xml"
# The host trusts the demo authority, as a product trusts its vendor's roots.
export SSL_CERT_FILE="$pki/ca.pem"

"$build/bin/qzdemoservice" "$work/service" --port-file "$work/port" >/dev/null &
service_pid=$!
for _ in $(seq 50); do [ -s "$work/port" ] && break; sleep 0.1; done
[ -s "$work/port" ] || { echo "demo service did not start" >&2; exit 1; }
service="http://127.0.0.1:$(cat "$work/port")/patch.xml"
mkdir -p "$work/downloads"

run() {
  echo "\$ qzupdate $*"
  "$qz" "$@"
  echo
}
common=(--service-url "$service" --program QzDemo --version 1.0.0.0 --language en-GB
        --download-folder "$work/downloads")
run check "${common[@]}"
run update --no-dialogs "${common[@]}"
run download "${common[@]}" --patch-file QzDemo-Setup.exe
run verify "$work/downloads/QzDemo-Setup.exe"
echo "The Linux patch, a tarball, is checked against its detached signature:"
run download "${common[@]/patch.xml/linux.xml}" --patch-file qzdemo-1.1.0.0.tar.gz
run verify "$work/downloads/qzdemo-1.1.0.0.tar.gz"
ls -l "$work/downloads"
echo
echo "A tampered copy of the tarball is refused:"
cp "$work/downloads/qzdemo-1.1.0.0.tar.gz" "$work/tampered.tar.gz"
cp "$work/downloads/qzdemo-1.1.0.0.tar.gz.p7s" "$work/tampered.tar.gz.p7s"
printf 'x' >> "$work/tampered.tar.gz"
if "$qz" verify "$work/tampered.tar.gz"; then echo "a tampered tarball passed" >&2; exit 1; fi
echo
echo "An unsigned copy of the patch is refused, and unknown actions and a"
echo "missing configuration get their result codes:"
set +e
"$qz" verify demo/service/QzDemo-1.1.0.0.exe; echo "(exit status $?)"
"$qz" action 0; echo "(exit status $?)"
"$qz" action 5; echo "(exit status $?)"
