#!/usr/bin/env bash
# The rotation service's control interface under abuse, measured for real:
# dravikd against a private simulated dial-up service with a history of
# 300 000 rows, its memory (VmRSS) after each abuse, and the latency of
# /status under 2 000 parallel requests. Every request goes to 127.0.0.1;
# every loop is bounded.
#
#   scripts/measure-control.sh [bin-dir]
#
# bin-dir: the folder that holds dravikd and librasapi32.so (default
# build/bin). Nothing of the user's is touched.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
bin_dir=${1:-$root/build/bin}
[[ -x $bin_dir/dravikd ]] || { echo "$bin_dir/dravikd is missing: build first" >&2; exit 2; }
command -v python3 >/dev/null || { echo "python3 is missing" >&2; exit 2; }
command -v prlimit >/dev/null || { echo "prlimit is missing (util-linux)" >&2; exit 2; }
command -v cc >/dev/null || { echo "cc is missing" >&2; exit 2; }

work=$(mktemp -d)
pids=()
cleanup() {
  # Only the processes started here, by their ids.
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# The parallel client, in C: a client in Python would measure itself.
cc -O2 -o "$work/control_burst" "$root/scripts/measure/control_burst.c"

free_port() { python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])'; }

# start NAME DESCRIPTORS: a service with its own folders; its pid and port
# in $work/NAME/pid and $work/NAME/port.
start() {
  local name=$1 descriptors=$2 port
  port=$(free_port)
  mkdir -m 0700 "$work/$name" "$work/$name/ras" "$work/$name/state"
  printf '[Broadband]\nUserName=someone\nPassword=secret\nDialSeconds=0.5\n' >"$work/$name/ras/phonebook.ini"
  printf 'entry = Broadband\nonline-seconds = 20\noffline-seconds = 2\nlisten = 127.0.0.1:%d\n' \
    "$port" >"$work/$name/dravikd.conf"
  python3 - "$work/$name/state/history.sqlite" <<'PY'
import sqlite3, sys
db = sqlite3.connect(sys.argv[1])
db.executescript("""PRAGMA journal_mode=WAL;
CREATE TABLE dials (id INTEGER PRIMARY KEY, time_ms INTEGER NOT NULL, entry TEXT NOT NULL,
 line_address TEXT NOT NULL, peer_address TEXT NOT NULL, public_address TEXT NOT NULL,
 dial_ms INTEGER NOT NULL, outcome TEXT NOT NULL, error_code INTEGER NOT NULL, detail TEXT NOT NULL);
CREATE INDEX dials_time ON dials(time_ms);""")
import time
now = int(time.time() * 1000) - 300000 * 60000
db.executemany("INSERT INTO dials (time_ms, entry, line_address, peer_address, public_address,"
               " dial_ms, outcome, error_code, detail) VALUES (?,?,?,?,?,?,?,?,?)",
               ((now + i * 60000, "Broadband", "100.64.%d.%d" % (i // 250 % 250, i % 250 + 1),
                 "100.64.0.1", "", 500, "connected", 0, "") for i in range(300000)))
db.commit()
PY
  STATE_DIRECTORY="$work/$name/state" DRAVIK_RAS_DIR="$work/$name/ras" DRAVIK_RAS_PROVIDER=sim \
    prlimit --nofile="$descriptors:$descriptors" "$bin_dir/dravikd" --config "$work/$name/dravikd.conf" \
    >"$work/$name/log" 2>&1 &
  pids+=($!)
  echo $! >"$work/$name/pid"
  echo "$port" >"$work/$name/port"
}

start main 4096
start low 256
main_pid=$(<"$work/main/pid") main_port=$(<"$work/main/port")
low_pid=$(<"$work/low/pid") low_port=$(<"$work/low/port")
for i in $(seq 100); do
  [[ -s $work/main/state/token && -s $work/low/state/token ]] && grep -q "new address" "$work/main/log" && break
  sleep 0.1
done

python3 - "$main_pid" "$main_port" "$(cat "$work/main/state/token")" \
  "$low_pid" "$low_port" "$(cat "$work/low/state/token")" "$work/control_burst" <<'PY'
import asyncio, json, os, socket, sys, threading, time

main_pid, main_port, main_token, low_pid, low_port, low_token, burst_tool = sys.argv[1:8]
main_pid, main_port, low_pid, low_port = int(main_pid), int(main_port), int(low_pid), int(low_port)

def rss_kb(pid):
    with open("/proc/%d/status" % pid) as f:
        for line in f:
            if line.startswith("VmRSS:"):
                return int(line.split()[1])

def cpu_s(pid):
    fields = open("/proc/%d/stat" % pid).read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")

def request(port, token, path, method="GET", timeout=10):
    s = socket.create_connection(("127.0.0.1", port), timeout=timeout)
    s.sendall(("%s %s HTTP/1.1\r\nHost: d\r\nAuthorization: Bearer %s\r\nConnection: close\r\n\r\n"
               % (method, path, token)).encode())
    data = b""
    while True:
        chunk = s.recv(1 << 20)
        if not chunk:
            break
        data += chunk
    s.close()
    head, _, body = data.partition(b"\r\n\r\n")
    return int(head[9:12]), body

def rotation(port, token):
    status, body = request(port, token, "/status")
    return json.loads(body)["phase"] if status == 200 else "status %d" % status

rows = []
def report(what, pid=main_pid, port=main_port, token=main_token, extra=""):
    rows.append((what, rss_kb(pid), rotation(port, token), extra))

report("at start")

# Four 100 MB bodies without the token, at once.
def big_body(results):
    s = socket.create_connection(("127.0.0.1", main_port), timeout=10)
    s.sendall(b"POST /rotate HTTP/1.1\r\nContent-Length: 100000000\r\n\r\n")
    sent, chunk = 0, b"b" * 65536
    try:
        while sent < 100000000:
            sent += s.send(chunk)
    except OSError:
        pass
    answer = b""
    try:
        answer = s.recv(200)
    except OSError:
        pass
    results.append((sent, answer[:12]))
    s.close()
results = []
threads = [threading.Thread(target=big_body, args=(results,)) for _ in range(4)]
for t in threads: t.start()
for t in threads: t.join(60)
report("4 x 100 MB bodies, no token", extra="sent %s MB each before the server closed" %
       "/".join("%.1f" % (r[0] / 1e6) for r in results))

# Pipelined requests without the token, nothing read.
def flood(token_line, seconds=5):
    s = socket.create_connection(("127.0.0.1", main_port))
    s.setblocking(False)
    one = b"GET /status HTTP/1.1\r\nHost: d\r\n" + token_line + b"\r\n"
    many = one * 2000
    sent, end = 0, time.time() + seconds
    while time.time() < end and sent < 2000000 * len(one):
        try:
            sent += s.send(many)
        except BlockingIOError:
            time.sleep(0.01)
        except OSError:
            break
    s.close()
    return sent // len(one)
n = flood(b"")
report("pipelined, no token, nothing read", extra="%d requests sent before the server closed" % n)
n = flood(("Authorization: Bearer %s\r\n" % main_token).encode())
report("pipelined with token, nothing read", extra="%d requests taken in 5 s" % n)

# Four clients reading the whole history a page of 10 000 at a time, while
# /status is asked every 10 ms.
latencies, stop = [], [False]
def pages():
    after, got = 0, 0
    while True:
        status, body = request(main_port, main_token, "/history?limit=10000" + ("&after=%d" % after if after else ""), timeout=60)
        answer = json.loads(body)
        got += len(answer["rows"])
        if not answer.get("next"):
            return got
        after = answer["next"]
def poll_status():
    while not stop[0]:
        t0 = time.perf_counter()
        request(main_port, main_token, "/status")
        latencies.append(time.perf_counter() - t0)
        time.sleep(0.01)
poller = threading.Thread(target=poll_status); poller.start()
t0 = time.perf_counter()
readers = [threading.Thread(target=pages) for _ in range(4)]
for t in readers: t.start()
for t in readers: t.join(300)
took = time.perf_counter() - t0
stop[0] = True; poller.join()
latencies.sort()
report("4 clients read 300 000 rows in pages", extra="%.1f s; /status meanwhile: max %.0f ms" % (took, latencies[-1] * 1000))

# 2 000 parallel /status requests: all connections at once, then 2 000
# requests on as many kept-alive connections as one client may hold.
import subprocess
def burst(parallel):
    return subprocess.run([burst_tool, str(main_port), main_token, "2000", str(parallel)],
                          capture_output=True, text=True, timeout=90).stdout.strip()
report("2 000 /status at once", extra=burst(2000))
report("2 000 /status on 256 connections", extra=burst(256))

# 300 idle connections to the service started with 256 descriptors.
report("other service (256 descriptors), at start", low_pid, low_port, low_token)
cpu0 = cpu_s(low_pid)
idle = []
for _ in range(300):
    idle.append(socket.create_connection(("127.0.0.1", low_port)))
time.sleep(5)
cpu = cpu_s(low_pid) - cpu0
t0 = time.perf_counter()
status, _ = request(low_port, low_token, "/status", timeout=30)
waited = time.perf_counter() - t0
report("300 idle connections (256 descriptors)", low_pid, low_port, low_token,
       "CPU %.2f s in 5 s; a /status behind them: %d after %.1f s" % (cpu, status, waited))
for s in idle: s.close()

print("%-40s %10s  %-10s %s" % ("after", "VmRSS", "rotation", ""))
for what, rss, phase, extra in rows:
    print("%-40s %7d kB  %-10s %s" % (what, rss, phase, extra))
PY
failed=$(grep -c "failed" "$work/low/log" "$work/main/log" | paste -sd' ' || true)
echo "log lines with \"failed\": $failed"
