#!/usr/bin/env bash
# Serves patches with nginx and demo/nginx/nginx.conf, as a vendor would:
# nginx runs as a plain process under a prefix of this test's own, on free
# loopback ports, over HTTP and HTTPS with a certificate made here. qzupdate
# asks for the patch (action 3), downloads it (action 4) and checks its
# signature, for a signed Windows executable and for a tarball with a
# detached signature; a large tarball's download is killed part-way and
# continued by the next run.
#
#   nginx_service_test.sh QZUPDATE SOURCE_DIR
set -euo pipefail
qz=${1:?usage: nginx_service_test.sh QZUPDATE SOURCE_DIR}
src=${2:?usage: nginx_service_test.sh QZUPDATE SOURCE_DIR}

nginx=$(command -v nginx || echo /usr/sbin/nginx)
if [ ! -x "$nginx" ]; then
  echo "nginx is not installed (tools/deps.sh test installs nginx-light)" >&2
  # A CI run must test against nginx; elsewhere the test is reported skipped.
  [ "${CI:-}" = true ] && exit 1
  exit 77
fi

work=$(mktemp -d)
nginx_pid=
cleanup() {
  if [ -n "$nginx_pid" ]; then kill -QUIT "$nginx_pid" 2>/dev/null || true; wait "$nginx_pid" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
# Run as root, nginx's workers read the files as nobody.
chmod 755 "$work"
prefix="$work/nginx"
mkdir -p "$prefix/conf/tls" "$prefix/patches" "$prefix/logs" "$prefix/tmp" "$work/pki" "$work/downloads"

# A certificate authority, a server certificate for 127.0.0.1 and a code
# signer, all made for this run.
pki="$work/pki"
openssl req -x509 -newkey rsa:2048 -nodes -keyout "$pki/ca.key" -out "$pki/ca.pem" -days 1 \
  -subj "/CN=QzTest Root CA" -addext "basicConstraints=critical,CA:TRUE" \
  -addext "keyUsage=critical,keyCertSign,cRLSign" 2>/dev/null
issue() { # NAME SUBJECT EXTENSIONS
  openssl req -newkey rsa:2048 -nodes -keyout "$pki/$1.key" -out "$pki/$1.csr" -subj "$2" 2>/dev/null
  printf '%b' "$3" > "$pki/$1.ext"
  openssl x509 -req -in "$pki/$1.csr" -CA "$pki/ca.pem" -CAkey "$pki/ca.key" -CAcreateserial \
    -out "$pki/$1.pem" -days 1 -extfile "$pki/$1.ext" 2>/dev/null
}
issue server "/CN=127.0.0.1" 'basicConstraints=CA:FALSE\nsubjectAltName=IP:127.0.0.1,DNS:localhost\nextendedKeyUsage=serverAuth\n'
issue signer "/CN=QzTest Software" 'basicConstraints=CA:FALSE\nkeyUsage=critical,digitalSignature\nextendedKeyUsage=codeSigning\n'
cp "$pki/server.pem" "$pki/server.key" "$prefix/conf/tls/"

# The patches: the demo executable signed, and a tarball with a detached
# signature beside it.
exe="$prefix/patches/QzDemo-1.1.0.0.exe"
osslsigncode sign -certs "$pki/signer.pem" -key "$pki/signer.key" -h sha256 -n "QzDemo 1.1" \
  -in "$src/demo/service/QzDemo-1.1.0.0.exe" -out "$exe" >/dev/null
mkdir -p "$work/tarball/qzdemo-1.1.0.0"
printf 'QzDemo 1.1 for Linux\n' > "$work/tarball/qzdemo-1.1.0.0/README"
tarball="$prefix/patches/qzdemo-1.1.0.0.tar.gz"
tar -czf "$tarball" -C "$work/tarball" qzdemo-1.1.0.0
sign_detached() {
  openssl cms -sign -binary -in "$1" -signer "$pki/signer.pem" -inkey "$pki/signer.key" -md sha256 \
    -outform DER -out "$1.p7s"
}
sign_detached "$tarball"
# The large patch holds random bytes, so gzip leaves it at its size.
mkdir -p "$work/large/qzdemo-1.1.0.0"
head -c $((12 * 1024 * 1024)) /dev/urandom > "$work/large/qzdemo-1.1.0.0/data"
large="$prefix/patches/qzdemo-1.1.0.0-full.tar.gz"
tar -czf "$large" -C "$work/large" qzdemo-1.1.0.0
sign_detached "$large"
chmod -R a+rX "$prefix"

# For this test only: version 1.0.5.0 is offered the large patch, which
# nginx sends whole at 2 MiB/s, so that there is time to kill the download,
# and in ranges at full speed; the access log shows each request's status,
# Range and If-Range.
cat > "$work/large.map" <<MAP
        "QzDemo/1.0.5.0/" '<patch version="1.1.0.0" filesize="$(stat -c %s "$large")" pug_installer="1" url="\$scheme://\$http_host/patches/qzdemo-1.1.0.0-full.tar.gz"><![CDATA[<h1>QzDemo 1.1, full</h1>]]></patch>';
MAP
cat > "$work/large.http" <<'HTTP'
    log_format qz escape=none '$request_uri $status "$http_range" "$http_if_range"';
    access_log logs/access.log qz;
    map $http_range $qz_whole_rate {
        "" 2m;
        default 0;
    }
HTTP
cat > "$work/large.location" <<'LOCATION'
        location = /patches/qzdemo-1.1.0.0-full.tar.gz {
            alias patches/qzdemo-1.1.0.0-full.tar.gz;
            limit_rate $qz_whole_rate;
        }
LOCATION
# Prints the configuration on standard input with those pieces added: the
# map line after the map's default, the log format and the rate map in
# place of the access log line, the location before that of /patches/.
add_large_patch() {
  awk -v map="$work/large.map" -v http="$work/large.http" -v location="$work/large.location" '
    function insert(file,  line) { while ((getline line < file) > 0) print line; close(file); added++ }
    /^    access_log logs\/access\.log;$/ { insert(http); next }
    /^        location \/patches\/ \{$/ { insert(location) }
    { print }
    /^        default "";$/ { insert(map) }
    END { if (added != 3) exit 1 }'
}

# The configuration as it stands, but for its ports and the sizes of the
# patches made above.
start_nginx() {
  http_port=$((20000 + RANDOM % 20000))
  https_port=$((http_port + 1))
  sed -e "s/listen 127.0.0.1:8080;/listen 127.0.0.1:$http_port;/" \
      -e "s/listen 127.0.0.1:8443 ssl;/listen 127.0.0.1:$https_port ssl;/" \
      -e "/QzDemo-1.1.0.0.exe/s/filesize=\"[0-9]*\"/filesize=\"$(stat -c %s "$exe")\"/" \
      -e "/qzdemo-1.1.0.0.tar.gz/s/filesize=\"[0-9]*\"/filesize=\"$(stat -c %s "$tarball")\"/" \
      "$src/demo/nginx/nginx.conf" | add_large_patch > "$prefix/conf/nginx.conf" ||
    fail "the configuration has no access log, map default or /patches/ location to extend"
  grep -q "listen 127.0.0.1:$https_port ssl;" "$prefix/conf/nginx.conf" || fail "the configuration has no HTTPS port to move"
  : > "$prefix/logs/error.log"
  "$nginx" -p "$prefix/" -c conf/nginx.conf -g 'daemon off;' 2>>"$prefix/logs/error.log" &
  nginx_pid=$!
  for _ in $(seq 50); do
    curl -s --noproxy '*' -o /dev/null "http://127.0.0.1:$http_port/patch.xml" && return 0
    kill -0 "$nginx_pid" 2>/dev/null || break
    sleep 0.1
  done
  kill -QUIT "$nginx_pid" 2>/dev/null || true
  wait "$nginx_pid" 2>/dev/null || true
  nginx_pid=
  return 1
}
for attempt in 1 2 3 4 5; do
  start_nginx && break
  grep -q "Address already in use" "$prefix/logs/error.log" || { cat "$prefix/logs/error.log" >&2; fail "nginx did not start"; }
  [ "$attempt" -lt 5 ] || fail "no free ports for nginx"
done
echo "nginx $("$nginx" -v 2>&1 | sed 's/.*\///') on ports $http_port and $https_port"

export SSL_CERT_FILE="$pki/ca.pem"
unset http_proxy https_proxy HTTP_PROXY HTTPS_PROXY
run() { # EXPECTED-EXIT ARGS...
  local expected=$1; shift
  local status=0
  "$qz" "$@" >"$work/out" 2>&1 || status=$?
  [ "$status" -eq "$expected" ] || { cat "$work/out" >&2; fail "qzupdate $* exited $status, expected $expected"; }
}
expect_out() { grep -qF -- "$1" "$work/out" || { cat "$work/out" >&2; fail "no \"$1\" in the output"; }; }

for base in "http://127.0.0.1:$http_port" "https://127.0.0.1:$https_port"; do
  echo "serving over $base"
  common=(--service-url "$base/patch.xml" --program QzDemo --version 1.0.0.0 --language en-GB
          --download-folder "$work/downloads")
  rm -f "$work/downloads"/*

  # Action 3: the query's keys pick the patch; another version gets none.
  run 0 check "${common[@]}" --platform 2
  expect_out "patch version: 1.1.0.0"
  expect_out "QzDemo 1.1"
  run 2 check "${common[@]/1.0.0.0/1.1.0.0}" --platform 2
  run 2 check "${common[@]}" --program SomethingElse --platform 2

  # Action 4 and the signature check: the Windows executable...
  run 0 download "${common[@]}" --platform 2 --patch-file QzDemo-Setup.exe
  cmp "$exe" "$work/downloads/QzDemo-Setup.exe" || fail "the downloaded executable differs"
  run 0 verify "$work/downloads/QzDemo-Setup.exe"
  expect_out "signature: valid"

  # ...and the tarball, whose ".p7s" nginx serves beside it.
  run 0 download "${common[@]}" --platform 0 --patch-file qzdemo-1.1.0.0.tar.gz
  cmp "$tarball" "$work/downloads/qzdemo-1.1.0.0.tar.gz" || fail "the downloaded tarball differs"
  cmp "$tarball.p7s" "$work/downloads/qzdemo-1.1.0.0.tar.gz.p7s" || fail "the downloaded signature differs"
  run 0 verify "$work/downloads/qzdemo-1.1.0.0.tar.gz"
  expect_out "signature: valid"
  printf 'x' >> "$work/downloads/qzdemo-1.1.0.0.tar.gz"
  run 1 verify "$work/downloads/qzdemo-1.1.0.0.tar.gz"

  # Ranges are nginx's own: a part of the patch with a validator to resume by.
  curl -s --noproxy '*' --cacert "$pki/ca.pem" -r 100-199 -D "$work/head" -o "$work/part" "$base/patches/QzDemo-1.1.0.0.exe"
  head -n1 "$work/head" | grep -q " 206 " || fail "no partial answer to a range"
  grep -qi '^ETag: ' "$work/head" || fail "no ETag on the patch"
  cmp "$work/part" <(tail -c +101 "$exe" | head -c 100) || fail "the range holds other bytes"

  # An interrupted download continued: the first run is killed, as a crash
  # would end it, once a quarter of the large patch is on disk; the next run
  # asks nginx for the rest with the ETag and makes the file whole.
  large_args=("${common[@]/1.0.0.0/1.0.5.0}" --platform 0 --patch-file qzdemo-full.tar.gz)
  part="$work/downloads/qzdemo-full.tar.gz.part"
  size=$(stat -c %s "$large")
  : > "$prefix/logs/access.log"
  "$qz" download "${large_args[@]}" >"$work/out" 2>&1 &
  qz_pid=$!
  for _ in $(seq 300); do
    [ "$(stat -c %s "$part" 2>/dev/null || echo 0)" -ge $((size / 4)) ] && break
    kill -0 "$qz_pid" 2>/dev/null || break
    sleep 0.05
  done
  kill -KILL "$qz_pid" 2>/dev/null || true
  status=0
  wait "$qz_pid" 2>/dev/null || status=$?
  [ "$status" -eq 137 ] || { cat "$work/out" >&2; fail "qzupdate download ended ($status) before it was killed"; }
  kept=$(stat -c %s "$part" 2>/dev/null || echo 0)
  [ "$kept" -ge $((size / 4)) ] && [ "$kept" -lt "$size" ] || fail "the killed download left $kept of $size bytes"
  [ -f "$work/downloads/qzdemo-full.tar.gz.resume" ] || fail "the killed download left no record"
  run 0 download "${large_args[@]}"
  mib() { echo "$(($1 * 10 / 1048576 / 10)).$(($1 * 10 / 1048576 % 10)) MiB"; }
  expect_out "resumed at $(mib "$kept") of $(mib "$size")"
  cmp "$large" "$work/downloads/qzdemo-full.tar.gz" || fail "the resumed patch differs"
  [ ! -e "$part" ] && [ ! -e "$work/downloads/qzdemo-full.tar.gz.resume" ] || fail "the partial file or its record stayed"
  run 0 verify "$work/downloads/qzdemo-full.tar.gz"
  expect_out "signature: valid"
  etag=$(curl -sI --noproxy '*' --cacert "$pki/ca.pem" "$base/patches/qzdemo-1.1.0.0-full.tar.gz" |
    sed -n 's/^[Ee][Tt][Aa][Gg]: *\(.*\)\r$/\1/p')
  [ -n "$etag" ] || fail "no ETag on the large patch"
  # nginx writes a request's line once it has ended it, which may be just
  # after the client has its last byte.
  wanted="/patches/qzdemo-1.1.0.0-full.tar.gz 206 \"bytes=$kept-\" \"$etag\""
  for _ in $(seq 50); do grep -qxF "$wanted" "$prefix/logs/access.log" && break; sleep 0.1; done
  grep -qxF "$wanted" "$prefix/logs/access.log" || { cat "$prefix/logs/access.log" >&2; fail "no ranged request for the rest"; }
  grep -q '^/patches/qzdemo-1.1.0.0-full.tar.gz 200 "" ""$' "$prefix/logs/access.log" ||
    { cat "$prefix/logs/access.log" >&2; fail "the first request was not for the whole patch"; }
done
echo "nginx_service_test: all passed"
