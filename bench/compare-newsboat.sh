#!/usr/bin/env bash
# One cold refresh of the same corpus, served from 127.0.0.1 by the same
# server, by Kestrova's update pass and by Debian's newsboat, with the same
# number of threads and a fresh cache each; prints both times and their ratio.
#
#   bench/compare-newsboat.sh [--feeds=N] [--items=M] [--seed=S] [--threads=T] [--latency=MS] [--build=DIR]
#
# --latency makes the server wait MS milliseconds before each answer.
#
# Installs newsboat with apt-get when it is missing. Run by hand; CI never does.
set -euo pipefail

feeds=500 items=50 seed=1 threads=4 latency=0
build="$(cd "$(dirname "$0")/.." && pwd)/build"
for arg in "$@"; do
  case "$arg" in
    --feeds=*) feeds="${arg#*=}" ;;
    --items=*) items="${arg#*=}" ;;
    --seed=*) seed="${arg#*=}" ;;
    --threads=*) threads="${arg#*=}" ;;
    --latency=*) latency="${arg#*=}" ;;
    --build=*) build="${arg#*=}" ;;
    *) echo "unknown argument: $arg" >&2; exit 2 ;;
  esac
done

bench="$build/bench/feed_update_bench"
[ -x "$bench" ] || { echo "build the benchmarks first: $bench is missing" >&2; exit 1; }

if ! command -v newsboat >/dev/null; then
  if [ "$(id -u)" -eq 0 ]; then sudo=(); else sudo=(sudo); fi
  "${sudo[@]}" apt-get install -y --no-install-recommends newsboat
fi

work="$(mktemp -d /tmp/kestrova-compare-XXXXXX)"
server_pid=
cleanup() {
  exec 3>&- 2>/dev/null || true
  [ -n "$server_pid" ] && wait "$server_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# The server ends when its standard input closes: keep a pipe open to it.
mkfifo "$work/server-in" "$work/server-out"
"$bench" --serve="$work/corpus" --feeds="$feeds" --items="$items" --seed="$seed" --latency="$latency" \
  <"$work/server-in" >"$work/server-out" &
server_pid=$!
exec 3>"$work/server-in"
read -r _ port <"$work/server-out"
echo "corpus: $feeds feeds x $items items (seed $seed) at http://127.0.0.1:$port, $threads threads, $latency ms latency"

# newsboat: a fresh home, cache and configuration; the same URLs.
mkdir -p "$work/newsboat-home"
cat >"$work/newsboat.conf" <<EOF
reload-threads $threads
download-timeout 60
EOF
# GNU time gives newsboat's CPU time and peak memory, as the benchmark reports its own.
/usr/bin/time -f '%e %U %S %M' -o "$work/newsboat.time" \
  env HOME="$work/newsboat-home" newsboat -x reload -u "$work/corpus/urls.txt" -c "$work/newsboat-cache.db" \
  -C "$work/newsboat.conf" >"$work/newsboat.log" 2>&1 || { cat "$work/newsboat.log" >&2; exit 1; }
read -r newsboat_seconds newsboat_user newsboat_system newsboat_kib <"$work/newsboat.time"
newsboat_items=$(sqlite3 "$work/newsboat-cache.db" "select count(*) from rss_item" 2>/dev/null || echo "?")

# Kestrova: one cold update pass in a private data folder.
kestrova_out=$("$bench" --pass="$work/corpus/urls.txt" --threads="$threads" 2>/dev/null)
kestrova_seconds=$(echo "$kestrova_out" | awk '/^seconds/ {print $2}')

echo "$kestrova_out" | grep '^kestrova'
awk -v f="$feeds" -v i="$newsboat_items" -v t="$threads" -v w="$newsboat_seconds" -v u="$newsboat_user" \
  -v s="$newsboat_system" -v m="$newsboat_kib" 'BEGIN {
    printf "newsboat: %s feeds, %s items, %s threads: %.3f s wall, %.3f s CPU, %.1f MiB peak, %.0f feeds/min\n",
      f, i, t, w, u + s, m / 1024, f / w * 60 }'
awk -v k="$kestrova_seconds" -v n="$newsboat_seconds" 'BEGIN { printf "ratio kestrova/newsboat (wall time): %.2f\n", k / n }'
