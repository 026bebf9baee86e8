#!/usr/bin/env bash
# purgo's forced pass over 100,000 files in 1,000 folders against `find DIR -atime +7` over the
# same tree, one run each. Every file is fresh, so both look at every file and nothing is deleted.
# Usage: bench/purgo/purgo_vs_find.sh [build/bin]
set -euo pipefail
bin="$(cd "${1:-$(dirname "$0")/../../build/bin}" && pwd)"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cd "$work"

# log/ARTCSDK keeps its subfolders and judges each file in them on its own.
root=log/ARTCSDK
for d in $(seq -w 0 999); do
  mkdir -p "$root/d$d"
  (cd "$root/d$d" && touch $(seq -f 'f%03g.log' 0 99))
done
files=$(find "$root" -type f | wc -l)

now() { date +%s%N; }
t0=$(now)
QT_QPA_PLATFORM=offscreen "$bin/purgo.exe" 1 >purgo.out 2>/dev/null
t1=$(now)
find "$root" -atime +7 >find.out
t2=$(now)

left=$(find "$root" -type f | wc -l)
purgo_ms=$(( (t1 - t0) / 1000000 ))
find_ms=$(( (t2 - t1) / 1000000 ))
echo "files: $files (after purgo: $left), stale found by find: $(wc -l <find.out)"
echo "purgo: ${purgo_ms} ms   find -atime +7: ${find_ms} ms"
awk -v p="$purgo_ms" -v f="$find_ms" 'BEGIN { if (f > 0) printf "ratio purgo/find: %.2f\n", p / f }'
