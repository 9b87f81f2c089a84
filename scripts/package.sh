#!/usr/bin/env bash
# Writes the Octave package lightfield-<version>.tar.gz (into build/package/,
# or the folder given) straight from the source tree; nothing needs to be
# built. The version is the one in matlab/Contents.m. The modules are found as
# build_modules finds them: every folder with a <name>_mex.cpp, the folders
# its table says they also need, and common/.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=$(mkdir -p "${1:-$root/build/package}" && cd "${1:-$root/build/package}" && pwd)
cd "$root"

version=$(sed -n 's/^% Version \([0-9][0-9.]*\) .*/\1/p' matlab/Contents.m)
released=$(sed -n 's/^% Version [0-9.]* \([0-9]*-[A-Za-z]*-[0-9]*\).*/\1/p' matlab/Contents.m)
title=$(sed -n '1s/^% \(.*\) (lightfield)$/\1/p' matlab/Contents.m)
if [ -z "$version" ] || [ -z "$released" ] || [ -z "$title" ]; then
  echo "package.sh: matlab/Contents.m lacks its title line or '% Version X.Y.Z DD-Mon-YYYY' line" >&2
  exit 1
fi
if ! head -n 1 package/NEWS | grep -q "lightfield $version\$"; then
  echo "package.sh: package/NEWS does not start with the changes of version $version" >&2
  exit 1
fi

# The table of folders a module's folder also needs, as build_modules.m has it:
#   needs = struct('sweep', {{'refocus', 'entropy'}}, ...);
table=$(grep -m 1 "needs = struct(" build_modules.m || true)
if [ -z "$table" ]; then
  echo "package.sh: no 'needs = struct(...)' table in build_modules.m" >&2
  exit 1
fi
needs_lines=$(grep -o "'[A-Za-z0-9_]*', {{[^}]*}}" <<<"$table" |
  sed "s/^'\([^']*\)', {{\(.*\)}}$/\1_NEEDS := \2/; s/[',]//g")

modules=()
folders=(common)
for entry in */*_mex.cpp; do
  folder=${entry%%/*}
  modules+=("$(basename "$entry" _mex.cpp)")
  folders+=("$folder")
  needed=$(sed -n "s/^${folder}_NEEDS := //p" <<<"$needs_lines")
  for f in $needed; do folders+=("$f"); done
done
mapfile -t folders < <(printf '%s\n' "${folders[@]}" | sort -u)

name=lightfield-$version
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
pkg=$stage/$name
mkdir -p "$pkg/inst" "$pkg/src/help"

cat > "$pkg/DESCRIPTION" <<EOF
Name: lightfield
Version: $version
Date: $(date -u -d "$released" +%Y-%m-%d)
Author: the lightfield-mex developers
Maintainer: the lightfield-mex developers
Title: $title
Description: MEX modules that refocus a remapped light field (olmarin),
 measure the angular entropy of every pixel (varnel, tressik) and sweep
 many shifts in one call (lf_entropy_sweep), with results defined to the
 bit on every platform, and the helpers that estimate depth from
 sub-aperture views with them.
Categories: Image processing
Depends: octave (>= 6.1.0)
License: BSD-3-Clause
EOF

# INDEX: Contents.m's sections as categories, its functions under them.
{
  echo "lightfield >> $title"
  awk 'NR > 2 && /^% [A-Za-z]/ { if (line != "") print line; print substr($0, 3); line = "" }
       /^%   [A-Za-z0-9_]+ +- / { line = line " " $2 }
       END { if (line != "") print line }' matlab/Contents.m
} > "$pkg/INDEX"
cp LICENSE "$pkg/COPYING"
cp package/NEWS package/post_install.m "$pkg/"

cp matlab/*.m matlab/functionSignatures.json demo/*.m "$pkg/inst/"
# help lightfield: Octave shows the Contents.m of a path folder of that name,
# which PKG_ADD puts on the path and PKG_DEL takes off.
mkdir "$pkg/inst/lightfield"
cp matlab/Contents.m "$pkg/inst/lightfield/"
cp package/PKG_ADD package/PKG_DEL "$pkg/inst/"
for folder in "${folders[@]}"; do
  mkdir -p "$pkg/src/$folder"
  find "$folder" -maxdepth 1 -type f \( -name '*.cpp' -o -name '*.h' \) -exec cp {} "$pkg/src/$folder/" \;
done
for module in "${modules[@]}"; do
  entry=$(ls -- */"${module}_mex.cpp")
  cat "${entry%/*}/$module.m" > "$pkg/src/help/$module.m"
  if [ -f "package/selftests/$module.tests" ]; then
    cat "package/selftests/$module.tests" >> "$pkg/src/help/$module.m"
  fi
done
{
  echo "# The folders each module's folder also needs besides its own and common/."
  echo "$needs_lines"
  echo
  cat package/Makefile
} > "$pkg/src/Makefile"

tar -C "$stage" -czf "$out/$name.tar.gz" --owner=0 --group=0 --sort=name "$name"
echo "$out/$name.tar.gz (modules: ${modules[*]})"
