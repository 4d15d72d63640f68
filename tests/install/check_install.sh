#!/usr/bin/env bash
# Installs the build into a scratch prefix and checks that every installed file is there and
# valid: the programs run, the man pages render without warnings, and the desktop entry, the
# AppStream metadata, the MIME package and the icons pass their validators. A validator that is
# not installed is skipped with a message.
#   check_install.sh BUILD_DIR VERSION WITH_GUI(0|1) SOURCE_DIR LIBDIR
set -uo pipefail
build=$1 version=$2 gui=$3 source=$4 libdir=$5
prefix=$(mktemp -d "${TMPDIR:-/tmp}/tarvex-install-XXXXXX")
trap 'rm -rf "$prefix"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
skip() { echo "skipped: $*"; }
have() { command -v "$1" >/dev/null 2>&1; }

cmake --install "$build" --prefix "$prefix" >/dev/null || { echo "FAIL: cmake --install"; exit 1; }

expected=(bin/tarvex share/man/man1/tarvex.1.gz share/mime/packages/tarvex.xml
  share/doc/tarvex/copyright share/doc/tarvex/changelog.gz
  "$libdir/libtarvex.so.$version" "$libdir/libtarvex.a" "$libdir/pkgconfig/tarvex.pc"
  include/tarvex/tarvex.h include/tarvex/export.h include/tarvex/version.h)
for file in Config ConfigVersion Targets; do expected+=("$libdir/cmake/tarvex/tarvex$file.cmake"); done
# The targets' file for the build type: tarvexTargets-release.cmake, -relwithdebinfo.cmake...
expected+=("$(cd "$prefix" && ls "$libdir"/cmake/tarvex/tarvexTargets-*.cmake)")
for package in "libtarvex${version%%.*}" libtarvex-dev; do
  expected+=("share/doc/$package/copyright" "share/doc/$package/changelog.gz")
done
sizes=(16 24 32 48 64 128 256)
if [ "$gui" = 1 ]; then
  expected+=(bin/tarvexw share/man/man1/tarvexw.1.gz share/applications/tarvexw.desktop
    share/metainfo/org.tarvex.tarvexw.metainfo.xml share/icons/hicolor/scalable/apps/tarvexw.svg)
  for size in "${sizes[@]}"; do expected+=("share/icons/hicolor/${size}x${size}/apps/tarvexw.png"); done
fi
for file in "${expected[@]}"; do [ -f "$prefix/$file" ] || fail "$file is not installed"; done
# Nothing unexpected either: each installed file is one this check knows about.
while IFS= read -r file; do
  printf '%s\n' "${expected[@]}" | grep -qxF "$file" || fail "unexpected file $file"
done < <(cd "$prefix" && find . -type f | sed 's|^\./||')

# The programs, run from the prefix.
[ "$("$prefix/bin/tarvex" --version)" = "tarvex $version" ] || fail "tarvex --version"
"$prefix/bin/tarvex" "$source/examples/scene.3dmf" "$prefix/scene.wrl" 2>/dev/null &&
  head -1 "$prefix/scene.wrl" | grep -qx '#VRML V2.0 utf8' || fail "tarvex converting the example"
rm -f "$prefix/scene.wrl"
if [ "$gui" = 1 ]; then
  [ "$(env -u DISPLAY -u WAYLAND_DISPLAY "$prefix/bin/tarvexw" --version)" = "tarvexw $version" ] ||
    fail "tarvexw --version without a display"
fi

# Man pages: groff's warnings, and man's own rendering.
for page in "$prefix"/share/man/man1/*.1.gz; do
  name=$(basename "$page")
  zcat "$page" | grep -qF -- '\-\-full' && zcat "$page" | grep -qF -- '\-\-verbose' ||
    fail "$name does not describe --full and --verbose"
  zcat "$page" | grep -q "$version" || fail "$name does not give the version"
  if have groff; then
    warnings=$(zcat "$page" | groff -ww -z -man 2>&1)
    [ -z "$warnings" ] || fail "groff warns on $name: $warnings"
  else skip "groff is not installed"; fi
  if have man; then
    warnings=$(MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null)
    [ -z "$warnings" ] || fail "man warns on $name: $warnings"
  else skip "man is not installed"; fi
done

# The MIME package: the globs, and the magic of both the text and the binary header.
mime=$prefix/share/mime
if have update-mime-database; then
  update-mime-database "$mime" >/dev/null 2>&1 || fail "update-mime-database"
  for glob in 3dmf 3dm q3d; do
    grep -qx "[0-9]*:model/x-3dmf:\*\.$glob" "$mime/globs2" || fail "no MIME type for *.$glob"
  done
  for header in 3DMetafile 3DMF; do
    grep -aq "$header" "$mime/magic" || fail "no magic for the $header header"
  done
  rm -rf "$mime"/{globs,globs2,magic,mime.cache,aliases,subclasses,types,icons,generic-icons,treemagic,XMLnamespaces,version,model}
else skip "update-mime-database (shared-mime-info) is not installed"; fi
if have xmllint; then
  xmllint --noout "$mime/packages/tarvex.xml" || fail "tarvex.xml is not well-formed"
else skip "xmllint is not installed"; fi

if [ "$gui" = 1 ]; then
  if have desktop-file-validate; then
    desktop-file-validate "$prefix/share/applications/tarvexw.desktop" || fail "desktop entry"
  else skip "desktop-file-validate (desktop-file-utils) is not installed"; fi
  if have appstreamcli; then
    appstreamcli validate --no-net --pedantic \
      "$prefix/share/metainfo/org.tarvex.tarvexw.metainfo.xml" >/dev/null ||
      fail "appstreamcli validate: $(appstreamcli validate --no-net --pedantic \
        "$prefix/share/metainfo/org.tarvex.tarvexw.metainfo.xml")"
    grep -q "release version=\"$version\"" "$prefix/share/metainfo/org.tarvex.tarvexw.metainfo.xml" ||
      fail "the metadata does not name release $version"
  else skip "appstreamcli (appstream) is not installed"; fi
  # Each PNG is square at the size its folder names (the width and height in its IHDR chunk).
  for size in "${sizes[@]}"; do
    png=$prefix/share/icons/hicolor/${size}x${size}/apps/tarvexw.png
    [ -f "$png" ] || continue
    header=$(od -An -tx1 -j0 -N24 "$png" | tr -d ' \n')
    dimensions=$(printf '%08x%08x' "$size" "$size")
    [ "${header:0:16}" = 89504e470d0a1a0a ] && [ "${header:32:16}" = "$dimensions" ] ||
      fail "tarvexw.png at ${size}x${size} is not a ${size}x${size} PNG"
  done
  if have xmllint; then
    xmllint --noout "$prefix/share/icons/hicolor/scalable/apps/tarvexw.svg" || fail "the SVG icon"
  fi
fi

[ "$failures" -eq 0 ] && echo "all installed files present and valid"
exit $((failures > 0))
