#!/bin/sh
# Uploads a large CRM data file through `qzupdate upload` (action 2) to a
# loopback sink and prints elapsed time, throughput and the peak resident
# memory of the uploading process, for a small file and a large one: memory
# that stays flat while the file grows is what the 1000-byte streaming and the
# bounded send window are for. The curl command line posts the same file as a
# multipart form to the same sink, in turns with qzupdate, three times each;
# so does "curl+rm", curl followed by deleting the file, which is the work
# qzupdate does (it deletes the data file once it has gone out). With a
# second build tree, its qzupdate takes its turn too ("before").
#
#   bench/crm_upload.sh BUILD_DIR [MiB [BEFORE_BUILD_DIR]]   (default 256 MiB)
#
# ROUNDS=N in the environment takes N turns instead of 3; the best of each
# tool counts, as the least disturbed on a shared machine.
#
# The build trees hold bin/qzupdate and bin/libQzAutoUpdate.so; use release
# builds (no sanitizers) for figures worth comparing.
set -eu

build=${1:?usage: crm_upload.sh BUILD_DIR [MiB [BEFORE_BUILD_DIR]]}
mib=${2:-256}
before=${3:-}
for tree in "$build" $before; do
    [ -x "$tree/bin/qzupdate" ] || { echo "no $tree/bin/qzupdate" >&2; exit 2; }
done

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

# One run of TOOL with a fresh file of SIZE MiB: prints "seconds MiB/s
# peak-RSS-KiB". qzupdate and before upload and delete the file; curl
# uploads it; curl+rm uploads it and deletes it.
run() {
    tool=$1 size=$2
    head -c "$((size * 1048576))" /dev/urandom >"$work/crm.zip"
    rm -f "$work/received"
    case $tool in
    qzupdate | before)
        tree=$build
        [ "$tool" = before ] && tree=$before
        env -u http_proxy -u HTTP_PROXY /usr/bin/time -f "%e %M" -o "$work/time" \
            "$tree/bin/qzupdate" upload --quiet --crm-file "$work/crm.zip" --crm-redirect "$redirect" \
            >"$work/out" 2>&1 || { echo "$tool: upload of $size MiB failed:" >&2; cat "$work/out" >&2; exit 1; }
        [ ! -e "$work/crm.zip" ] || { echo "$tool: the data file was not deleted" >&2; exit 1; }
        ;;
    curl | curl+rm)
        remove=:
        [ "$tool" = curl+rm ] && remove="rm $work/crm.zip"
        /usr/bin/time -f "%e %M" -o "$work/time" sh -c 'curl -s --noproxy "*" -o /dev/null -F "$1" "$2" && $3' \
            sh "File=@$work/crm.zip;filename=crm.zip;type=application/octet-stream" \
            "http://127.0.0.1:$port/crm/upload.php" "$remove"
        ;;
    esac
    received=$(cat "$work/received")
    # Header part and closing part add 217 to 226 bytes to the file (curl's
    # own form adds fewer).
    extra=$((received - size * 1048576))
    [ "$extra" -gt 0 ] && [ "$extra" -le 226 ] || { echo "$tool: sink got $received bytes" >&2; exit 1; }
    read -r seconds rss <"$work/time"
    echo "$seconds $(awk "BEGIN { printf \"%.1f\", $size / ($seconds > 0 ? $seconds : 0.01) }") $rss"
}

tools="qzupdate${before:+ before} curl curl+rm"
echo "machine: $(uname -m), $(nproc) cores, load $(cut -d' ' -f1 /proc/loadavg); $(date -u +%Y-%m-%d)"
printf '%-8s %6s %8s %8s %12s %6s\n' tool MiB seconds MiB/s peak_RSS_KiB load
load() { cut -d' ' -f1 /proc/loadavg; }
# Each tool's figures are kept in files named after it: the time of its
# 1 MiB run, its best rate and its best net rate.
mkdir "$work/figures"
keep() { echo "$3" >"$work/figures/$1.$2"; }
kept() { cat "$work/figures/$1.$2"; }
# The 1 MiB runs give each tool's fixed cost (start-up, redirect look-up,
# connection); the net rate leaves it out: (MiB - 1) / (time - time of 1 MiB).
for tool in $tools; do
    set -- $(run "$tool" 1)
    printf '%-8s %6s %8s %8s %12s %6s\n' "$tool" 1 "$1" "$2" "$3" "$(load)"
    keep "$tool" small "$1"
    keep "$tool" best 0
    keep "$tool" net 0
done
# Taken in turns, so all see the same load; the best of each counts.
best() { awk "BEGIN { print ($1 > $2) ? $1 : $2 }"; }
net() { awk "BEGIN { d = $1 - $2; printf \"%.1f\", ($mib - 1) / (d > 0.01 ? d : 0.01) }"; }
rounds=${ROUNDS:-3}
for round in $(seq "$rounds"); do
    for tool in $tools; do
        set -- $(run "$tool" "$mib")
        printf '%-8s %6s %8s %8s %12s %6s\n' "$tool" "$mib" "$1" "$2" "$3" "$(load)"
        echo "$1" >>"$work/figures/$tool.times"
        keep "$tool" best "$(best "$2" "$(kept "$tool" best)")"
        keep "$tool" net "$(best "$(net "$1" "$(kept "$tool" small)")" "$(kept "$tool" net)")"
    done
done
ratio() { awk "BEGIN { printf \"%.2f\", $1 / $2 }"; }
median() { sort -n "$work/figures/$1.times" | awk '{ t[NR] = $1 } END { print t[int((NR + 1) / 2)] }'; }
for tool in $tools; do
    echo "best of $rounds, $tool: $(kept "$tool" best) MiB/s whole process, $(kept "$tool" net) MiB/s net of the 1 MiB run;" \
        "median time $(median "$tool") s"
done
for ours in qzupdate $before; do
    [ "$ours" = qzupdate ] || ours=before
    for peer in curl curl+rm; do
        echo "$ours / $peer: $(ratio "$(kept "$ours" best)" "$(kept "$peer" best)") whole process," \
            "$(ratio "$(kept "$ours" net)" "$(kept "$peer" net)") net," \
            "$(ratio "$(median "$peer")" "$(median "$ours")") of medians (goal: at least 0.9)"
    done
done
