#!/bin/sh
# SHA-256 of the LH5 encoder's stream for a fixed set of corpora, one line each. Run it before
# and after a change to the encoder and compare: the streams must stay the same byte for byte.
#   scripts/lh5-digests.sh [ENCODER [CORPUS_DIR]] > digests.txt
set -eu
enc=$(realpath "${1:-build/native/perf/lh5_encode_file}")
dir=${2:-/tmp/orvane-lh5-corpora}

if [ ! -f "$dir/.done" ]; then
  mkdir -p "$dir"
  # Text and binaries of the system, in name order, so that every run sees the same bytes.
  find /usr/share/doc /usr/share/common-licenses -type f ! -name '*.gz' 2>/dev/null | LC_ALL=C sort |
    xargs cat 2>/dev/null | head -c 16777216 > "$dir/text16m" || true
  head -c 8388608 "$dir/text16m" > "$dir/text8m"
  head -c 131072 "$dir/text16m" > "$dir/text128k"
  find /usr/bin -maxdepth 1 -type f 2>/dev/null | LC_ALL=C sort | xargs cat 2>/dev/null |
    head -c 8388608 > "$dir/bin8m" || true
  head -c 131072 "$dir/bin8m" > "$dir/bin128k"
  head -c 8388608 /dev/zero > "$dir/zeros8m"
  head -c 131072 /dev/zero > "$dir/zeros128k"
  python3 -c 'import random,sys; r=random.Random(1); sys.stdout.buffer.write(bytes(r.getrandbits(8) for _ in range(1<<20)))' > "$dir/random1m"
  head -c 131072 "$dir/random1m" > "$dir/random128k"
  head -c 1000 /dev/zero | tr '\0' 'a' > "$dir/run1000"
  # Mixed: text, a run, random, binary, text again (matches across kinds and long runs).
  { head -c 40000 "$dir/text8m"; head -c 70000 /dev/zero; head -c 30000 "$dir/random1m";
    tail -c 50000 "$dir/bin8m"; head -c 40000 "$dir/text8m"; } > "$dir/mixed"
  for n in 0 1 2 3 4 5 59 60 61 255 256 257 258 4095 4096 4097 8191 8192 8193 16384 16640 24576; do
    head -c $n "$dir/text8m" > "$dir/text_$n"
    head -c $n "$dir/random1m" > "$dir/random_$n"
    head -c $n /dev/zero > "$dir/zeros_$n"
    tail -c $n "$dir/bin8m" > "$dir/bin_$n"
  done
  # Every text file on its own (small and medium sizes of real data).
  mkdir -p "$dir/docs"
  i=0
  find /usr/share/doc -type f ! -name '*.gz' 2>/dev/null | LC_ALL=C sort | head -n 300 | while read -r f; do
    i=$((i + 1)); cp "$f" "$dir/docs/$(printf %04d $i)"
  done
  touch "$dir/.done"
fi

cd "$dir"
for f in $(ls | LC_ALL=C sort) $(ls docs | LC_ALL=C sort | sed 's|^|docs/|'); do
  [ -f "$f" ] || continue
  printf '%s %s\n' "$("$enc" "$f" 2>/dev/null | sha256sum | cut -c1-64)" "$f"
done
# Short reads and an output limit change when the buffer slides and where the stream stops.
for f in text8m bin128k mixed text_8193; do
  printf '%s %s read=1000\n' "$("$enc" "$f" 1000 2>/dev/null | sha256sum | cut -c1-64)" "$f"
  printf '%s %s read=1\n' "$("$enc" "$f" 1 2>/dev/null | sha256sum | cut -c1-64)" "$f"
done
for f in text128k random128k mixed; do
  for limit in 1 100 5000 131000 131100; do
    out=$("$enc" "$f" 4294967295 $limit 2>&1 >/dev/null)
    printf '%s %s limit=%s %s\n' "$("$enc" "$f" 4294967295 $limit 2>/dev/null | sha256sum | cut -c1-64)" "$f" $limit "$out"
  done
done
# Method 1 (4 KiB window, matches up to 60 bytes) runs the other build of the tree code.
for f in text128k bin128k zeros128k random128k mixed text_4096 text_8193 run1000; do
  printf '%s %s method=1\n' "$("$enc" "$f" 4294967295 0 1 2>/dev/null | sha256sum | cut -c1-64)" "$f"
done
