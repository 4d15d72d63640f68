#!/usr/bin/env bash
# The default mode's output for every real text file must stay what it was before full mode
# existed: the hashes were taken from the default converter as it was then.
#   default_mode_unchanged.sh TARVEX CORPUS_DIR HASH_FILE
set -euo pipefail
tarvex=$1 corpus=$2 hashes=$3
if [ ! -d "$corpus" ]; then
  echo "no corpus at $corpus: skipped"
  exit 77  # ctest's skip, not a pass
fi
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
checked=0
while read -r hash name; do
  [ -f "$corpus/$name" ] || { echo "missing corpus file $name"; exit 1; }
  "$tarvex" "$corpus/$name" "$scratch/$name.wrl" 2>/dev/null || true
  actual=$(sha256sum <"$scratch/$name.wrl" | cut -d' ' -f1)
  if [ "$actual" != "$hash" ]; then
    echo "default-mode output changed for $name"
    exit 1
  fi
  checked=$((checked + 1))
done <"$hashes"
echo "$checked default-mode outputs unchanged"
