#!/usr/bin/env bash
# The headless demo: what orbench-cli does with the sample case mixes.
set -euo pipefail
bin=${1:-build/bin}
cli="$bin/orbench-cli"
casemix="$bin/casemixes/general_surgery.txt"
out=$(mktemp -d "${TMPDIR:-/tmp}/orbench-demo.XXXXXX")

echo "== Surgery types of $(basename "$casemix") (capacity 480 minutes)"
echo "   ID, kind, mean and std dev in minutes, X, Y, frequency, case-mix types"
"$cli" casemix "$casemix" | head -n 8
echo "   ..."
echo
echo "== 3 instances each for the loads 0.85 and 1.0 on 10 OR-days"
"$cli" generate --casemix "$casemix" --ordays 10 --loads 0.85,1.0 --per-load 3 --out "$out/instances"
echo
echo "== The main window's loop: 2 instances of 5 OR-days at load 0.8, short surgeries only (type 5)"
"$cli" fill --casemix "$casemix" --ordays 5 --load 0.8 --count 2 --type 5 --out "$out/filled"
echo
echo "== Instances made from surgery types generated on the fly in region 12 (Y < X)"
"$cli" generate --on-the-fly --type 12 --ordays 5 --loads 0.9 --per-load 2 --out "$out/tcm12"
echo
echo "Files written under $out:"
(cd "$out" && find . -type f | sort | sed 's/^/  /')
echo
echo "First lines of one instance file:"
head -n 13 "$out/instances/ordays_10_load_0.85_1.txt" | tr -d '\r' | sed 's/^/  /'
echo
cm_dir=$(cd "$bin/casemixes" && pwd)
abs_cli=$(cd "$bin" && pwd)/orbench-cli
echo "== The tool's main job: a small batch over the three sample case mixes"
echo "   (5 OR-days, loads 0.8 and 1.0, 6 instances per combination, the 3 least overlapping kept)"
"$cli" batch --casemix "$cm_dir/general_surgery.txt" --casemix "$cm_dir/mixed_hospital.txt" \
  --casemix "$cm_dir/orthopaedics.txt" --ordays 5 --loads 0.8,1.0 --per-combination 6 --select 3 \
  --out "$out/batch"
for folder in "$out"/batch/*/; do
  name=$(basename "$folder")
  kept=$(find "$folder" -name 'ordays_*' | wc -l)
  marked=$(find "$folder" -name 'REMOVE_*' | wc -l)
  reports=$(find "$folder" -name 'overlap_*' | wc -l)
  echo "   $name/: $kept kept, $marked marked REMOVE_, $reports reports, manifest.json"
done
echo
echo "== Its provenance: the manifest of orthopaedics/ (first lines) and verify over the whole tree"
head -n 12 "$out/batch/orthopaedics/manifest.json" | tr -d '\r' | sed 's/^/  /'
echo "  ..."
"$cli" verify "$out/batch"
echo
echo "== The kept instances of orthopaedics as a table"
(cd "$out/batch/orthopaedics" && "$abs_cli" stats --casemix "$cm_dir/orthopaedics.txt" ordays_*.txt)
echo
echo "== One picture: their surgeries in the plane (case-mix type 0)"
"$cli" plot plane --casemix "$cm_dir/orthopaedics.txt" --out "$out/orthopaedics_plane.svg" \
  "$out"/batch/orthopaedics/ordays_*.txt
echo "   written: $out/orthopaedics_plane.svg"
