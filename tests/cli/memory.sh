#!/usr/bin/env bash
# Streaming memory stays flat: JSON Lines through a pipe, in and out, keeps the largest resident size of
# the run under 64 MB however much passes. STRAND_MEMORY_MB sets the volume (default 200; the figure of
# record is 1024).
source "$(dirname "$0")/harness.sh"
megabytes="${STRAND_MEMORY_MB:-200}"

result=$(python3 - "$strand" "$megabytes" <<'PY'
import resource, subprocess, sys
strand, megabytes = sys.argv[1], int(sys.argv[2])
run = subprocess.Popen([strand, "run", "--in", "jsonl", "--quiet", "-e", "total := price * qty"],
                       stdin=subprocess.PIPE, stdout=subprocess.PIPE)
sink = subprocess.Popen(["wc", "-l"], stdin=run.stdout, stdout=subprocess.PIPE)
run.stdout.close()
line, written, target = 0, 0, megabytes << 20
chunk = []
while written < target:
    text = '{"id":%d,"name":"item-%d","price":%d.25,"qty":%d,"tags":["a","b"],"note":"lorem ipsum dolor"}\n' % (
        line, line, line % 1000, line % 50)
    chunk.append(text)
    written += len(text)
    line += 1
    if len(chunk) == 10000:
        run.stdin.write("".join(chunk).encode())
        chunk = []
run.stdin.write("".join(chunk).encode())
run.stdin.close()
lines = int(sink.communicate()[0])
status = run.wait()
peak = resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss // 1024  # of strand and wc: MB
print(status, lines == line, peak)
PY
)
read -r status complete peak <<<"$result"
[ "$status" = 0 ] || { echo "FAIL memory: strand ended with $status"; failures=$((failures + 1)); }
[ "$complete" = True ] || { echo "FAIL memory: records were lost"; failures=$((failures + 1)); }
if [ "$peak" -ge 64 ]; then
    echo "FAIL memory: $megabytes MB through a pipe peaked at $peak MB resident"
    failures=$((failures + 1))
fi
echo "$megabytes MB of JSON Lines through a pipe: peak resident size $peak MB"
finish "memory"
