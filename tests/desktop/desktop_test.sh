#!/usr/bin/env bash
# What the desktop and Debian see of the program: the desktop entry, the software centre's entry,
# the manual page and the Debian package. One check per call:
#   desktop_test.sh entry    SOURCE_DIR METAINFO        the entry as installed, and the metainfo
#   desktop_test.sh manual   MANUAL PROGRAM             the page renders cleanly, has every option
#   desktop_test.sh package  SOURCE_DIR BUILD_DIR VERSION
# Prints what is wrong and fails; silent on success apart from lintian's warnings.
set -euo pipefail
mode=$1
shift
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
failures=0
fail() {
  echo "desktop_test: $*" >&2
  failures=$((failures + 1))
}
finish() {
  [[ $failures -eq 0 ]] || exit 1
}

# The MIME types of a desktop entry, and of a metainfo file, one a line, sorted.
entry_types() { sed -n 's/^MimeType=//p' "$1" | tr ';' '\n' | sed '/^$/d' | sort; }
metainfo_types() { sed -n 's:.*<mediatype>\(.*\)</mediatype>.*:\1:p' "$1" | sort; }

# desktop-file-validate, appstreamcli and man print problems and may still exit 0 for some.
check_entry() {  # ENTRY
  local out
  out=$(desktop-file-validate "$1" 2>&1) || fail "desktop-file-validate failed: $out"
  [[ -z $out ]] || fail "desktop-file-validate: $out"
}
check_metainfo() {  # METAINFO ENTRY
  local out
  out=$(appstreamcli validate --no-net --no-color "$1" 2>&1) || fail "appstreamcli validate failed: $out"
  [[ $(basename "$2") == $(sed -n 's:.*<launchable type="desktop-id">\(.*\)</launchable>.*:\1:p' "$1") ]] ||
    fail "the metainfo's launchable is not $(basename "$2")"
  [[ $(basename "$1" .metainfo.xml) == $(sed -n 's:.*<id>\(.*\)</id>.*:\1:p' "$1") ]] ||
    fail "$(basename "$1") does not hold the component of its name"
  [[ -n $(entry_types "$2") && $(entry_types "$2") == $(metainfo_types "$1") ]] ||
    fail "the metainfo's media types are not the entry's: $(metainfo_types "$1" | xargs) / $(entry_types "$2" | xargs)"
}
check_manual() {  # PAGE (plain or gzip)
  local out
  out=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$1" 2>&1 >/dev/null) || fail "man cannot render $1: $out"
  [[ -z $out ]] || fail "man warns about $1: $out"
}

case $mode in
entry)
  src=$1 metainfo=$2
  id=$(basename "$metainfo" .metainfo.xml)
  # The entry as the install step writes it, into a prefix with a space and a "%" in it.
  prefix="$tmp/a prefix 100%"
  cmake -DCMAKE_INSTALL_PREFIX="$prefix" -DORBELLE_INSTALL_PROGRAM_DIR=lib/orbelle-player \
    -DORBELLE_DESKTOP_TEMPLATE="$src/desktop/orbelle-player.desktop.in" -DORBELLE_DESKTOP_ID="$id" \
    -P "$src/desktop/InstallEntry.cmake" >/dev/null
  entry="$prefix/share/applications/$id.desktop"
  [[ -f $entry ]] || fail "no $entry"
  check_entry "$entry"
  check_metainfo "$metainfo" "$entry"
  ;;

manual)
  page=$1 program=$2
  check_manual "$page"
  # Every option --help names (the words starting with "-" in its option lines) is in the page.
  rendered=$(LC_ALL=C.UTF-8 MANWIDTH=200 man -l "$page" 2>/dev/null)
  options=$("$program" --help | grep -E '^ +-' | grep -oE '(^|[ ,])--?[A-Za-z0-9-]*' | tr -d ' ,' | sort -u)
  [[ -n $options ]] || fail "--help names no options"
  for option in $options; do
    grep -qE -- "(^|[^A-Za-z0-9-])$option([^A-Za-z0-9-]|$)" <<<"$rendered" || fail "the manual does not mention $option"
  done
  # And every key it lists (the first column of the lines after "Keys") appears in the page.
  keys=$("$program" --help | sed -n '/^Keys/,$p' | sed -n 's/^  \(\S\(\S\| \S\)*\)  .*/\1/p' |
    tr ',' '\n' | sed 's/^ *//')
  [[ -n $keys ]] || fail "--help names no keys"
  while IFS= read -r key; do
    grep -qF -- "$key" <<<"$rendered" || fail "the manual does not mention the key $key"
  done <<<"$keys"
  ;;

package)
  src=$1 build=$2 version=$3
  arch=$(dpkg --print-architecture)
  (cd "$tmp" && cpack -G DEB --config "$build/CPackConfig.cmake" -B "$tmp/out") >"$tmp/cpack.log" 2>&1 ||
    { cat "$tmp/cpack.log" >&2; fail "cpack failed"; finish; }
  deb="$tmp/out/orbelle-player_${version}_${arch}.deb"
  [[ -f $deb ]] || { fail "no $(basename "$deb") among: $(ls "$tmp/out")"; finish; }

  # The files: the program folder, the link, the desktop's files and the documents; nothing else.
  listing=$(dpkg-deb -c "$deb")
  files=$(awk '$1 !~ /^d/ {print $6}' <<<"$listing" | sed 's:^\./:/:')
  id=io.github.orbelle_player.OrbellePlayer
  for file in /usr/bin/orbelle-player /usr/lib/orbelle-player/orbelle-player \
    /usr/lib/orbelle-player/orbelle-media-worker /usr/lib/orbelle-player/image/ようこそ.bmp \
    /usr/lib/orbelle-player/image/menu.png /usr/lib/orbelle-player/font/cinecaption2.24.TTF \
    /usr/lib/orbelle-player/font/FAMania2.6.TTF /usr/lib/orbelle-player/sound/wa_007.wav \
    /usr/share/applications/$id.desktop /usr/share/metainfo/$id.metainfo.xml \
    /usr/share/icons/hicolor/{48x48,128x128,256x256}/apps/orbelle-player.png \
    /usr/share/man/man1/orbelle-player.1.gz /usr/share/doc/orbelle-player/copyright \
    /usr/share/doc/orbelle-player/changelog.gz; do
    grep -qxF -- "$file" <<<"$files" || fail "the package lacks $file"
  done
  grep -qE '^l.* \./usr/bin/orbelle-player -> \.\./lib/orbelle-player/orbelle-player$' <<<"$listing" ||
    fail "/usr/bin/orbelle-player is not a relative link to the program"
  allowed='^/usr/(bin/orbelle-player|lib/orbelle-player/(orbelle-player|orbelle-media-worker|(image|font|sound)/[^/]+)|share/(applications|metainfo|man/man1|doc/orbelle-player|icons/hicolor/[0-9x]+/apps)/[^/]+)$'
  stray=$(grep -vE "$allowed" <<<"$files" || true)
  [[ -z $stray ]] || fail "files that do not belong in the package: $stray"
  [[ $(grep -c '^/usr/lib/orbelle-player/[^/]*$' <<<"$files") -eq 2 ]] ||
    fail "the program folder holds other programs: $(grep '^/usr/lib/orbelle-player/[^/]*$' <<<"$files" | xargs)"

  # The dependencies: the shared libraries dpkg-shlibdeps found, and what is loaded at run time
  # without being linked.
  depends=$(dpkg-deb -f "$deb" Depends | tr ',|' '\n\n' | sed -e 's/(.*)//' -e 's/ //g' | sed '/^$/d' | sort -u)
  for package in libc6 libstdc++6 libsdl2-2.0-0 libsdl2-mixer-2.0-0 libepoxy0 libgstreamer1.0-0 libseccomp2 libyuv0 \
    libgdk-pixbuf-2.0-0 gstreamer1.0-plugins-base gstreamer1.0-plugins-good gstreamer1.0-plugins-bad \
    gstreamer1.0-plugins-ugly gstreamer1.0-libav libgl1-mesa-dri zenity; do
    grep -qxF "$package" <<<"$depends" || fail "the package does not depend on $package"
  done
  # Every GStreamer plugin the media worker may load comes with a package it depends on.
  plugins=$(pkg-config --variable=pluginsdir gstreamer-1.0)
  for plugin in $(grep -oE '^ *\{"[a-z0-9_]+", *\{' "$src/platform/worker/PluginAllowList.cpp" | grep -oE '[a-z0-9_]+'); do
    file="$plugins/libgst$plugin.so"
    [[ -f $file ]] || continue  # built into the core (staticelements)
    owner=$(dpkg -S "$file" 2>/dev/null | cut -d: -f1)
    grep -qxF "$owner" <<<"$depends" || fail "the worker's plugin $plugin comes with $owner, which the package does not depend on"
  done
  # And every gdk-pixbuf loader it decodes pictures with (the type names it asks gdk-pixbuf for);
  # a type without a loader module of its own is built into gdk-pixbuf's library.
  loaders=$(pkg-config --variable=gdk_pixbuf_cache_file gdk-pixbuf-2.0)
  types=$(awk '/PixbufTypeName\(PictureType type\)/,/^}/' "$src/platform/picture/PictureDecode.cpp" |
    grep -oE 'return "[^"]+"' | cut -d'"' -f2)
  [[ -n $types ]] || fail "no picture types found in PictureDecode.cpp"
  for type in $types; do
    module=$(awk -v type="\"$type\"" '/^"\//{path=$1; getline; if ($1 == type) print path}' "$loaders" | tr -d '"')
    [[ -n $module ]] || module=$(find /usr/lib -name 'libgdk_pixbuf-2.0.so.0' -print -quit)
    owner=$(dpkg -S "$module" 2>/dev/null | cut -d: -f1)
    grep -qxF "$owner" <<<"$depends" || fail "the $type pictures need $owner, which the package does not depend on"
  done
  [[ $(dpkg-deb -f "$deb" Section) == video ]] || fail "section $(dpkg-deb -f "$deb" Section)"

  # lintian: no error; its warnings go to the log.
  lintian --tag-display-limit 0 --fail-on error "$deb" >"$tmp/lintian.log" 2>&1 || fail "lintian reports errors"
  grep -v 'root privileges' "$tmp/lintian.log" || true

  # Installed into an empty root (dependencies are not there; no maintainer scripts exist to run),
  # the files are usable, and removal leaves nothing behind.
  root="$tmp/root"
  mkdir -p "$root/var/lib/dpkg/info" "$root/var/lib/dpkg/updates" "$root/var/lib/dpkg/triggers"
  : >"$root/var/lib/dpkg/status"
  dpkg=(dpkg --root="$root" --log=/dev/null --force-not-root --force-bad-path --force-depends)
  "${dpkg[@]}" -i "$deb" >"$tmp/dpkg.log" 2>&1 || { cat "$tmp/dpkg.log" >&2; fail "dpkg -i into an empty root failed"; finish; }
  [[ $("$root/usr/bin/orbelle-player" --version) == "orbelle-player $version" ]] ||
    fail "the installed program does not run through its link"
  check_entry "$root/usr/share/applications/$id.desktop"
  grep -qxF 'Exec="/usr/bin/orbelle-player" %f' "$root/usr/share/applications/$id.desktop" ||
    fail "the installed entry does not start /usr/bin/orbelle-player"
  check_metainfo "$root/usr/share/metainfo/$id.metainfo.xml" "$root/usr/share/applications/$id.desktop"
  grep -qF "<release version=\"$version\"" "$root/usr/share/metainfo/$id.metainfo.xml" ||
    fail "the metainfo has no release $version"
  check_manual "$root/usr/share/man/man1/orbelle-player.1.gz"
  "${dpkg[@]}" --purge orbelle-player >"$tmp/dpkg.log" 2>&1 || { cat "$tmp/dpkg.log" >&2; fail "dpkg --purge failed"; }
  left=$(cd "$root" && find . -mindepth 1 ! -path './var' ! -path './var/lib' ! -path './var/lib/dpkg' ! -path './var/lib/dpkg/*')
  [[ -z $left ]] || fail "removal left behind: $left"
  ;;

*)
  echo "desktop_test: unknown check $mode" >&2
  exit 2
  ;;
esac
finish
