#!/usr/bin/env bash
# Installs the build into a temporary prefix and uses it from another folder, as a user of a
# shared server would: the programs, the shared case mixes, the manual pages, the Python module,
# and the one version number everywhere.
# Usage: install_test.sh BUILD_DIR SOURCE_DIR VERSION PYTHON
set -euo pipefail
build=$1 source=$2 version=$3 python=${4:-python3}
prefix=$(mktemp -d) work=$(mktemp -d)
trap 'rm -rf "$prefix" "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

cmake --install "$build" --prefix "$prefix" >/dev/null
cd "$work"
[ "$("$prefix/bin/orbench-cli" --version)" = "orbench-cli $version" ] || fail "--version"
mix="$prefix/share/orbench/casemixes/orthopaedics.txt"
"$prefix/bin/orbench-cli" generate --casemix "$mix" --ordays 2 --loads 0.9 --per-load 2 --out installed >/dev/null
"$build/bin/orbench-cli" generate --casemix "$source/casemixes/orthopaedics.txt" --ordays 2 --loads 0.9 \
  --per-load 2 --out built >/dev/null
[ "$(ls installed | wc -l)" = 2 ] || fail "generate wrote $(ls installed | wc -l) files"
diff -r installed built >/dev/null || fail "the installed orbench-cli wrote other files than the built one"
if [ -x "$prefix/bin/orbench-plot" ]; then  # orbench-cli finds it beside itself
  QT_QPA_PLATFORM=offscreen "$prefix/bin/orbench-cli" plot plane --casemix "$mix" --out plane.svg
  grep -q '<svg' plane.svg || fail "plot wrote no SVG"
  [ -f "$prefix/share/applications/orbench.desktop" ] || fail "no desktop entry"
fi
for page in orbench-cli orbench-cli-generate orbench-cli-batch; do
  head -1 "$prefix/share/man/man1/$page.1" | grep -q "^\.TH \"$page\" 1 .*Orbench $version" || fail "man page $page"
done
grep -q -- "--per-load K" "$prefix/share/man/man1/orbench-cli-generate.1" || fail "the generate page lacks its options"
[ -f "$prefix/share/orbench/docs/cli.md" ] || fail "no documentation"
if [ -d "$prefix/lib/python3/dist-packages/orbench" ]; then
  got=$(PYTHONPATH="$prefix/lib/python3/dist-packages" "$python" -c 'import orbench; print(orbench.__version__)')
  [ "$got" = "$version" ] || fail "the Python module says $got"
fi
grep -q "^version: $version$" "$source/CITATION.cff" || fail "CITATION.cff does not give version $version"
[ "$(grep -m1 '^## ' "$source/CHANGELOG.md" | cut -d' ' -f2)" = "$version" ] || fail "CHANGELOG.md's newest entry is not $version"
echo "installed into a temporary prefix and used from another folder: all checks passed"
