#!/bin/sh
# Uploads a large CRM data file through `qzupdate upload` (action 2) to a
# loopback sink and prints elapsed time, throughput and the peak resident
# memory of the uploading process, for a small file and a large one: memory
# that stays flat while the file grows is what the 1000-byte streaming and the
# bounded send window are for. The curl command line posts the same file as a
# multipart form to the same sink, in turns with qzupdate, three times each.
#
#   bench/crm_upload.sh BUILD_DIR [MiB]      (default 256 MiB)
#
# BUILD_DIR is a build tree holding bin/qzupdate and bin/libQzAutoUpdate.so;
# use a release build (no sanitizers) for figures worth comparing.
set -eu

build=${1:?usage: crm_upload.sh BUILD_DIR [MiB]}
mib=${2:-256}
qzupdate="$build/bin/qzupdate"
[ -x "$qzupdate" ] || { echo "no $qzupdate" >&2; exit 2; }

work=$(mktemp -d "${TMPDIR:-/tmp}/qz-crm-bench.XXXXXX")
sink_pid=
cleanup() {
    [ -n "$sink_pid" ] && kill "$sink_pid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT INT TERM

# The sink: GET /redirect names the upload script, POST bodies are read in
# 64 KiB pieces and thrown away; the byte count of the last POST is kept.
cat >"$work/sink.py" <<'EOF'
import http.server, sys, os
work = sys.argv[1]
class Sink(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    def log_message(self, *args):
        pass
    def answer(self, body):
        self.send_response(200)
        self.send_header("Content-Length", str(len(body)))
        self.send_header("Connection", "close")
        self.close_connection = True
        self.end_headers()
        self.wfile.write(body)
    def do_GET(self):
        port = self.server.server_address[1]
        self.answer(("http://127.0.0.1:%d/crm/upload.php" % port).encode())
    def do_POST(self):
        left = int(self.headers["Content-Length"])
        total = 0
        while left > 0:
            piece = self.rfile.read(min(left, 65536))
            if not piece:
                break
            total += len(piece)
            left -= len(piece)
        with open(os.path.join(work, "received"), "w") as f:
            f.write(str(total))
        self.answer(b"ok")
server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Sink)
with open(os.path.join(work, "port.tmp"), "w") as f:
    f.write(str(server.server_address[1]))
os.rename(os.path.join(work, "port.tmp"), os.path.join(work, "port"))
server.serve_forever()
EOF
python3 "$work/sink.py" "$work" &
sink_pid=$!
while [ ! -f "$work/port" ]; do sleep 0.1; done
port=$(cat "$work/port")
redirect="http://127.0.0.1:$port/redirect"

# One upload of SIZE MiB: prints "MiB seconds MiB/s peak-RSS-KiB".
upload() {
    head -c "$(($1 * 1048576))" /dev/urandom >"$work/crm.zip"
    rm -f "$work/received"
    env -u http_proxy -u HTTP_PROXY /usr/bin/time -f "%e %M" -o "$work/time" \
        "$qzupdate" upload --quiet --crm-file "$work/crm.zip" --crm-redirect "$redirect" >"$work/out" 2>&1 ||
        { echo "upload of $1 MiB failed:" >&2; cat "$work/out" >&2; exit 1; }
    received=$(cat "$work/received")
    # Header part and closing part add 217 to 226 bytes to the file.
    extra=$((received - $1 * 1048576))
    [ "$extra" -ge 217 ] && [ "$extra" -le 226 ] || { echo "sink got $received bytes" >&2; exit 1; }
    [ ! -e "$work/crm.zip" ] || { echo "the data file was not deleted" >&2; exit 1; }
    read -r seconds rss <"$work/time"
    echo "$1 $seconds $(awk "BEGIN { printf \"%.1f\", $1 / ($seconds > 0 ? $seconds : 0.01) }") $rss"
}

curl_upload() {
    head -c "$(($1 * 1048576))" /dev/urandom >"$work/crm.zip"
    /usr/bin/time -f "%e %M" -o "$work/time" curl -s --noproxy '*' -o /dev/null \
        -F "File=@$work/crm.zip;filename=crm.zip;type=application/octet-stream" \
        "http://127.0.0.1:$port/crm/upload.php"
    read -r seconds rss <"$work/time"
    echo "$1 $seconds $(awk "BEGIN { printf \"%.1f\", $1 / ($seconds > 0 ? $seconds : 0.01) }") $rss"
}

echo "machine: $(uname -m), $(nproc) cores, load $(cut -d' ' -f1 /proc/loadavg); $(date -u +%Y-%m-%d)"
printf '%-8s %6s %8s %8s %12s\n' tool MiB seconds MiB/s peak_RSS_KiB
# The 1 MiB runs give each tool's fixed cost (start-up, redirect look-up,
# connection); the net rate leaves it out: (MiB - 1) / (time - time of 1 MiB).
set -- $(upload 1)
printf '%-8s %6s %8s %8s %12s\n' qzupdate "$1" "$2" "$3" "$4"
small_ours=$2
set -- $(curl_upload 1)
printf '%-8s %6s %8s %8s %12s\n' curl "$1" "$2" "$3" "$4"
small_curl=$2
# Taken in turns, so both see the same load; the best of each counts.
best() { awk "BEGIN { print ($1 > $2) ? $1 : $2 }"; }
net() { awk "BEGIN { d = $1 - $2; printf \"%.1f\", ($mib - 1) / (d > 0.01 ? d : 0.01) }"; }
ours=0 theirs=0 ours_net=0 theirs_net=0
for round in 1 2 3; do
    set -- $(upload "$mib")
    printf '%-8s %6s %8s %8s %12s\n' qzupdate "$1" "$2" "$3" "$4"
    ours=$(best "$3" "$ours") ours_net=$(best "$(net "$2" "$small_ours")" "$ours_net")
    set -- $(curl_upload "$mib")
    printf '%-8s %6s %8s %8s %12s\n' curl "$1" "$2" "$3" "$4"
    theirs=$(best "$3" "$theirs") theirs_net=$(best "$(net "$2" "$small_curl")" "$theirs_net")
done
ratio() { awk "BEGIN { printf \"%.2f\", $1 / $2 }"; }
echo "best of 3, whole process: qzupdate $ours MiB/s, curl $theirs MiB/s, ratio $(ratio "$ours" "$theirs")"
echo "best of 3, net of the 1 MiB run: qzupdate $ours_net MiB/s, curl $theirs_net MiB/s," \
    "ratio $(ratio "$ours_net" "$theirs_net") (goal: at least 0.9)"
