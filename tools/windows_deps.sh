#!/usr/bin/env bash
# tools/windows_deps.sh ARCH DIR
#
# Builds the two libraries the game links, Allegro and FreeType, as static
# MinGW-w64 libraries for ARCH (i686 or x86_64), from Debian's own source
# packages with the patches in tools/patches. They go to a prefix under DIR
# named after the versions and the recipe (this script, the patches and the
# toolchain), and are built once: a later run finds the prefix complete and
# only prints its path. The path of the prefix is the last line of the
# output.
#
# The sources come through a private deb-src list beside them, so the
# system's apt sources stay untouched.
set -euo pipefail

ALLEGRO_VERSION=4.4.3.1
FREETYPE_VERSION=2.12.1

arch=${1:?usage: windows_deps.sh i686|x86_64 DIR}
case "$arch" in i686|x86_64) ;; *) echo "windows_deps: unknown ARCH $arch" >&2; exit 2 ;; esac
dir=$(realpath -m "${2:?usage: windows_deps.sh i686|x86_64 DIR}")
top=$(cd "$(dirname "$0")/.." && pwd)
toolchain=$top/cmake/Toolchain-mingw-$arch.cmake
recipe=$(cat "$0" "$top"/tools/patches/*.patch "$top"/cmake/mingw.cmake "$toolchain" | sha256sum | cut -c1-12)
prefix=$dir/allegro-$ALLEGRO_VERSION-freetype-$FREETYPE_VERSION-$recipe
jobs=$(nproc 2>/dev/null || echo 2)

if [ -f "$prefix/complete" ]; then
  echo "$prefix"
  exit 0
fi

say() { echo "windows_deps ($arch): $*" >&2; }

# Runs a build step quietly; on failure shows the end of what it printed.
quietly() {  # quietly LOG COMMAND...
  local log=$1; shift
  "$@" >"$log" 2>&1 || { tail -n 30 "$log" >&2; say "failed: $*"; exit 1; }
}

# --- sources ---------------------------------------------------------------
sources=$dir/sources
mkdir -p "$sources/apt/lists/partial" "$sources/apt/parts"
apt_private=(-o "Dir::Etc::SourceParts=$sources/apt/parts" -o Dir::Etc::SourceList=/dev/null
             -o "Dir::State::Lists=$sources/apt/lists" -o APT::Sandbox::User=root)

# Fetches the files of a source package whose names match PATTERN, checked
# against the hashes apt vouches for.
fetch() {  # fetch PACKAGE PATTERN
  local package=$1 pattern=$2 url file size hash
  apt-get -qq "${apt_private[@]}" source --print-uris "$package" 2>/dev/null |
    grep -E "^'" | while read -r url file size hash; do
      case "$file" in $pattern) ;; *) continue ;; esac
      url=${url//\'/}
      hash=${hash#SHA256:}
      if ! echo "$hash  $sources/$file" | sha256sum -c --status 2>/dev/null; then
        say "downloading $file"
        curl -fsSL -o "$sources/$file.part" "$url"
        echo "$hash  $sources/$file.part" | sha256sum -c --status ||
          { say "$file does not match its hash"; exit 1; }
        mv "$sources/$file.part" "$sources/$file"
      fi
    done
}

if [ ! -f "$sources/fetched-$ALLEGRO_VERSION-$FREETYPE_VERSION" ]; then
  say "reading Debian's source index"
  for list in /etc/apt/sources.list.d/*.sources; do
    [ -f "$list" ] && sed 's/^Types:.*/Types: deb-src/' "$list" > "$sources/apt/parts/$(basename "$list")"
  done
  apt-get -qq "${apt_private[@]}" update >/dev/null
  # Allegro's packaging changes nothing the game uses (its tarball is not
  # even in the archive now); FreeType's carries security fixes, so those
  # come too.
  fetch allegro4.4 "allegro4.4_$ALLEGRO_VERSION.orig.tar.gz"
  fetch freetype "freetype_$FREETYPE_VERSION+dfsg.orig.tar.xz"
  fetch freetype "freetype_$FREETYPE_VERSION+dfsg-*.debian.tar.xz"
  touch "$sources/fetched-$ALLEGRO_VERSION-$FREETYPE_VERSION"
fi

work=$dir/work
rm -rf "$work" "$dir"/allegro-*-freetype-*  # older recipes too
mkdir -p "$work"

# --- FreeType --------------------------------------------------------------
say "building FreeType $FREETYPE_VERSION"
tar -xJf "$sources/freetype_$FREETYPE_VERSION+dfsg.orig.tar.xz" -C "$work"
tar -xJf "$(ls "$sources"/freetype_$FREETYPE_VERSION+dfsg-*.debian.tar.xz | tail -n 1)" -C "$work"
(
  cd "$work/freetype-$FREETYPE_VERSION"
  # Debian's patches, except those for the demos and documents, which are
  # separate tarballs not fetched here.
  while read -r patch; do
    case "$patch" in ''|'#'*) continue ;; esac
    if grep '^+++ ' "../debian/patches/$patch" | grep -qv -e ' b/ft2demos/' -e ' b/ft2docs/'; then
      patch -p1 -s <"../debian/patches/$patch"
    fi
  done <../debian/patches/series
)
quietly "$work/freetype-configure.log" cmake -S "$work/freetype-$FREETYPE_VERSION" -B "$work/freetype-build" -Wno-dev \
  -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_INSTALL_PREFIX="$prefix" -DBUILD_SHARED_LIBS=OFF \
  -DFT_DISABLE_ZLIB=ON -DFT_DISABLE_BZIP2=ON -DFT_DISABLE_PNG=ON \
  -DFT_DISABLE_HARFBUZZ=ON -DFT_DISABLE_BROTLI=ON
quietly "$work/freetype.log" cmake --build "$work/freetype-build" -j "$jobs" --target install

# --- Allegro ---------------------------------------------------------------
say "building Allegro $ALLEGRO_VERSION"
tar -xzf "$sources/allegro4.4_$ALLEGRO_VERSION.orig.tar.gz" -C "$work"
for patch in "$top"/tools/patches/allegro-*.patch; do
  patch -d "$work/allegro-$ALLEGRO_VERSION" -p1 -s <"$patch"
done
quietly "$work/allegro-configure.log" cmake -S "$work/allegro-$ALLEGRO_VERSION" -B "$work/allegro-build" -Wno-dev \
  -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_INSTALL_PREFIX="$prefix" -DSHARED=OFF \
  -DWANT_EXAMPLES=OFF -DWANT_TOOLS=OFF -DWANT_TESTS=OFF -DWANT_DOCS=OFF \
  -DWANT_ALLEGROGL=OFF -DWANT_LOADPNG=OFF -DWANT_LOGG=OFF -DWANT_JPGALLEG=OFF
quietly "$work/allegro.log" cmake --build "$work/allegro-build" -j "$jobs" --target install

# Allegro installs no pkg-config file on Windows; this one tells the game's
# build what a static Allegro needs there, so that it finds Allegro the same
# way on every platform.
cat >"$prefix/lib/pkgconfig/allegro.pc" <<EOF
prefix=$prefix
libdir=\${prefix}/lib
includedir=\${prefix}/include

Name: Allegro
Description: Allegro $ALLEGRO_VERSION, static, for Windows
Version: $ALLEGRO_VERSION
Libs: -L\${libdir} -lalleg -lkernel32 -luser32 -lgdi32 -lcomdlg32 -lole32 -ldinput -lddraw -ldxguid -lwinmm -ldsound
Cflags: -I\${includedir} -DALLEGRO_STATICLINK
EOF

rm -rf "$work"
touch "$prefix/complete"
say "done"
echo "$prefix"
