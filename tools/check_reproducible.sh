#!/usr/bin/env bash
# tools/check_reproducible.sh [COMMIT]
#
# Builds COMMIT (HEAD when not given) twice, from two fresh clones in
# folders of different names and lengths, one after the other (so at two
# moments) and in two time zones, and compares what ships byte for byte:
# build/dentivale, the .deb, build-win32/dentivale.exe and the Windows zip.
# Prints, for each, how many bytes differ (cmp -l), and exits 1 when any
# does. SOURCE_DATE_EPOCH is cleared, so both builds take their times from
# the commit. Only committed work is built.
#
# The Windows libraries are inputs of the build, not what it makes, and
# take minutes to build: when this checkout has them, each clone gets a
# copy instead (KEEP=1 keeps the clones for a closer look).
set -euo pipefail

top=$(cd "$(dirname "$0")/.." && pwd)
commit=$(git -C "$top" rev-parse --verify "${1:-HEAD}^{commit}")
work=$(mktemp -d "${TMPDIR:-/tmp}/dentivale-repro.XXXXXX")
[ "${KEEP:-0}" = 1 ] || trap 'rm -rf "$work"' EXIT

# copy_deps FROM TO: the libraries' prefix moved, its pkg-config files told.
copy_deps() {
  local from=$1/build-win32/deps to=$2/build-win32/deps prefix
  [ -d "$from" ] || return 0
  mkdir -p "$to"
  for prefix in "$from"/allegro-*-freetype-*; do
    [ -f "$prefix/complete" ] || continue
    cp -a "$prefix" "$to/"
    sed -i "s|^prefix=.*|prefix=$to/$(basename "$prefix")|" "$to/$(basename "$prefix")"/lib/pkgconfig/*.pc
  done
}

build_one() {  # build_one DIR TZ
  local dir=$1 tz=$2
  echo "== $(date -u '+%H:%M:%S') building $commit in $dir (TZ=$tz)"
  git clone -q --no-checkout "$top" "$dir"
  git -C "$dir" checkout -q --detach "$commit"
  copy_deps "$top" "$dir"
  (cd "$dir" && env -u SOURCE_DATE_EPOCH TZ="$tz" ./dev.sh windows &&
     cd build && env -u SOURCE_DATE_EPOCH TZ="$tz" cpack -G DEB) >"$dir.log" 2>&1 ||
    { tail -n 30 "$dir.log"; echo "check_reproducible: the build in $dir failed" >&2; exit 1; }
}

one=$work/one
two=$work/second-build
build_one "$one" UTC
build_one "$two" Pacific/Kiritimati  # UTC+14: another date for most of the day

status=0
echo "== bytes that differ between the two builds"
for file in build/dentivale build/dentivale_*.deb build-win32/dentivale.exe build-win32/dentivale-*-win32.zip; do
  # shellcheck disable=SC2206  # the patterns name one file each
  a=($one/$file) b=($two/$file)
  if [ ! -f "${a[0]}" ] || [ ! -f "${b[0]}" ]; then
    printf '%-38s missing\n' "$file"; status=1; continue
  fi
  differ=$(cmp -l "${a[0]}" "${b[0]}" 2>/dev/null | wc -l || true)
  sizes="$(stat -c %s "${a[0]}") / $(stat -c %s "${b[0]}") bytes"
  printf '%-38s %8s differ  (%s)  %s\n' "${a[0]#"$one/"}" "$differ" "$sizes" "$(sha256sum <"${a[0]}" | cut -c1-16)"
  if [ "$differ" != 0 ] || ! cmp -s "${a[0]}" "${b[0]}"; then status=1; fi
done
[ $status = 0 ] && echo "== identical" || echo "== the builds differ"
exit $status
