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
