#!/bin/sh
# Two figures against hostile loopback servers, each beside the curl command
# line in the same run:
#  - cancel: `qzupdate download` from a server that sends 2 bytes a second
#    gets Ctrl-C (the host's cancel) after 2 s; the time from the signal to
#    the end of the process (goal: under 1 s);
#  - memory: `qzupdate check` against a service whose answer is 1 GiB; the
#    peak resident memory of the process (goal: under 64 MiB).
#
#   bench/hostile_server.sh BUILD_DIR
#
# BUILD_DIR is a build tree holding bin/qzupdate and bin/libQzAutoUpdate.so;
# use a release build (no sanitizers) for figures worth comparing.
set -eu

build=${1:?usage: hostile_server.sh BUILD_DIR}
qzupdate="$build/bin/qzupdate"
[ -x "$qzupdate" ] || { echo "no $qzupdate" >&2; exit 2; }
command -v curl >/dev/null || { echo "no curl command line" >&2; exit 2; }

work=$(mktemp -d "${TMPDIR:-/tmp}/qz-hostile-bench.XXXXXX")
server_pid=
cleanup() {
    [ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT INT TERM

cat >"$work/server.py" <<'EOF'
import http.server, socketserver, sys, time
class Hostile(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    def log_message(self, *args):
        pass
    def head(self, length):
        self.send_response(200)
        self.send_header("Content-Length", str(length))
        self.end_headers()
    def do_GET(self):
        path = self.path.split("?")[0]
        port = self.server.server_address[1]
        try:
            if path == "/query":
                body = ('<result filesize="100000" version="2.0" url="http://127.0.0.1:%d/trickle">'
                        '<patch>Notes</patch></result>' % port).encode()
                self.head(len(body))
                self.wfile.write(body)
            elif path == "/trickle":
                self.head(100000)
                for _ in range(50000):
                    self.wfile.write(b"pp")
                    self.wfile.flush()
                    time.sleep(1)
            elif path == "/huge":
                self.head(1 << 30)
                block = b"x" * 65536
                for _ in range((1 << 30) // 65536):
                    self.wfile.write(block)
        except (BrokenPipeError, ConnectionResetError):
            pass
class Server(socketserver.ThreadingMixIn, http.server.HTTPServer):
    daemon_threads = True
server = Server(("127.0.0.1", 0), Hostile)
open(sys.argv[1], "w").write(str(server.server_address[1]))
server.serve_forever()
EOF

cat >"$work/measure.py" <<'EOF'
import os, resource, signal, subprocess, sys, time
mode, *command = sys.argv[1:]
process = subprocess.Popen(command, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
if mode == "cancel":
    time.sleep(2)
    process.send_signal(signal.SIGINT)
    sent = time.monotonic()
    _, status, usage = os.wait4(process.pid, 0)
    print("%.3f" % (time.monotonic() - sent))
else:
    _, status, usage = os.wait4(process.pid, 0)
    print("%.1f" % (usage.ru_maxrss / 1024.0))
EOF

python3 "$work/server.py" "$work/port" &
server_pid=$!
for _ in $(seq 50); do [ -s "$work/port" ] && break; sleep 0.1; done
[ -s "$work/port" ] || { echo "the server did not start" >&2; exit 1; }
base="http://127.0.0.1:$(cat "$work/port")"
mkdir -p "$work/downloads"

ours=$(python3 "$work/measure.py" cancel "$qzupdate" download --quiet --service-url "$base/query" \
    --download-folder "$work/downloads")
peer=$(python3 "$work/measure.py" cancel curl -s -o "$work/downloads/curl.bin" "$base/trickle")
echo "cancel to exit, 2-byte/s server: qzupdate ${ours} s, curl ${peer} s," \
    "ratio $(python3 -c "print('%.1f' % ($ours / max($peer, 0.001)))")"

ours=$(python3 "$work/measure.py" memory "$qzupdate" check --quiet --service-url "$base/huge" \
    --download-folder "$work/downloads")
peer=$(python3 "$work/measure.py" memory curl -s -o /dev/null "$base/huge")
echo "peak memory, 1 GiB query answer: qzupdate ${ours} MiB, curl ${peer} MiB," \
    "ratio $(python3 -c "print('%.2f' % ($ours / $peer))")"
