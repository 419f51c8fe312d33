#!/usr/bin/env bash
# Checks the Debian packages tarvex, tarvex-dbgsym and libtarvex-rqfile-dev:
# their fields and dependencies, their exact file lists, the debug symbols of
# every program, lintian, the desktop's files (file type, launcher,
# AppStream metainfo, icons), and the unpacked epk with its modules, its
# manual page and its completion.
# Usage: package_test.sh DEB_DIR VERSION                   (packages already made)
#        package_test.sh --build SOURCE_DIR BUILD_DIR LIBDIR
#          (made by debian/ from the install of BUILD_DIR, whose library
#          folder is LIBDIR, without building again)
# Exits 77 (skipped) when dpkg-deb is missing, or only lintian is and all
# else passed.
set -euo pipefail
export LC_ALL=C.UTF-8
command -v dpkg-deb >/dev/null || { echo "SKIPPED: dpkg-deb is not installed"; exit 77; }
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
if [ "$1" = --build ]; then
  for tool in dpkg-buildpackage dh; do
    command -v $tool >/dev/null || { echo "SKIPPED: $tool is not installed"; exit 77; }
  done
  mkdir "$tmp/source"
  cp -r "$2/debian" "$tmp/source/"
  (cd "$tmp/source" && TARVEX_PREBUILT=$3 TARVEX_SDK_LIBDIR=usr/$4 dpkg-buildpackage -us -uc -b -d) \
    >"$tmp/build.log" 2>&1 || { cat "$tmp/build.log"; echo "FAILED: dpkg-buildpackage"; exit 1; }
  debs=$tmp version=$(dpkg-parsechangelog -l "$2/debian/changelog" -S Version)
else
  debs=$1 version=$2
fi
failures=0
fail() { echo "FAILED: $*" >&2; failures=$((failures + 1)); }

programs=$debs/tarvex_${version}_amd64.deb
symbols=$debs/tarvex-dbgsym_${version}_amd64.deb
sdk=$debs/libtarvex-rqfile-dev_${version}_amd64.deb
for deb in "$programs" "$symbols" "$sdk"; do
  [ -f "$deb" ] || { echo "FAILED: no $deb" >&2; exit 1; }
done

# Fields. The programs' dependencies are dpkg-shlibdeps' (with versions);
# a static library has none it could find, so the SDK names its own.
field() { dpkg-deb -f "$1" "$2"; }
[ "$(field "$programs" Architecture)" = amd64 ] || fail "tarvex is not amd64"
[ "$(field "$programs" Version)" = "$version" ] || fail "tarvex has version $(field "$programs" Version)"
depends=$(field "$programs" Depends)
for library in libc6 libstdc++6 libqt6core6 libqt6gui6 libqt6widgets6 liblzo2-2 zlib1g libzstd1 libfuse3-3; do
  grep -qE "(^|, )${library//+/\\+} \(>= [^)]+\)" <<<"$depends" || fail "tarvex does not depend on $library: $depends"
done
# fusermount3 for epk mount; a CJK font, or every label is boxes; Qt's own
# dialog texts in Chinese.
recommends="fuse3, fonts-wqy-microhei | fonts-noto-cjk, qt6-translations-l10n"
[ "$(field "$programs" Recommends)" = "$recommends" ] || fail "tarvex recommends $(field "$programs" Recommends)"
grep -q 'liblzo2-dev' <<<"$(field "$sdk" Depends)" || fail "libtarvex-rqfile-dev does not depend on liblzo2-dev"

# Contents: exactly these files and links, all owned by root.
contents() {
  dpkg-deb -c "$1" >"$tmp/contents"
  awk '$2 != "root/root" { print "not root: " $6 }' "$tmp/contents"
  awk '$1 !~ /^d/ { print $6 ($7 == "->" ? " -> " $8 : "") }' "$tmp/contents" | sort
}
expected=$(sort <<EOF2
./usr/bin/epk -> ../lib/tarvex/epk
./usr/bin/tarvex -> ../lib/tarvex/tarvex
./usr/lib/tarvex/epk
./usr/lib/tarvex/plugins/deflate.edl
./usr/lib/tarvex/plugins/zstd-fast.edl
./usr/lib/tarvex/plugins/zstd-strong.edl
./usr/lib/tarvex/tarvex
./usr/share/applications/tarvex.desktop
./usr/share/bash-completion/completions/epk
./usr/share/doc/tarvex/changelog.Debian.gz
./usr/share/doc/tarvex/copyright
./usr/share/icons/hicolor/16x16/apps/tarvex.png
./usr/share/icons/hicolor/256x256/apps/tarvex.png
./usr/share/icons/hicolor/32x32/apps/tarvex.png
./usr/share/icons/hicolor/48x48/apps/tarvex.png
./usr/share/icons/hicolor/scalable/apps/tarvex.svg
./usr/share/man/man1/epk.1.gz
./usr/share/man/man1/tarvex.1.gz
./usr/share/metainfo/invalid.tarvex.Tarvex.metainfo.xml
./usr/share/mime/packages/tarvex.xml
./usr/share/tarvex/sample.epk
EOF2
)
actual=$(contents "$programs")
[ "$actual" = "$expected" ] || fail "tarvex holds: $(diff <(echo "$expected") <(echo "$actual") | grep '^[<>]' | tr '\n' ' ')"
actual=$(contents "$sdk")
libdir=$(grep -o '^\./usr/lib.*/libRQ_File\.a$' <<<"$actual" | sed 's|/libRQ_File\.a$||') || true
expected=$(sort <<EOF2
./usr/include/tarvex/RQ_File.h
./usr/include/tarvex/rq_file.h
$libdir/libRQ_File.a
$libdir/cmake/RQ_File/RQ_FileConfig.cmake
$libdir/cmake/RQ_File/RQ_FileConfigVersion.cmake
$libdir/cmake/RQ_File/RQ_FileTargets.cmake
$libdir/cmake/RQ_File/RQ_FileTargets-CONFIG.cmake
$libdir/pkgconfig/rq_file.pc
./usr/share/doc/libtarvex-rqfile-dev/changelog.Debian.gz
./usr/share/doc/libtarvex-rqfile-dev/copyright
EOF2
)
actual=$(sed 's|RQ_FileTargets-[a-z]*\.cmake|RQ_FileTargets-CONFIG.cmake|' <<<"$actual" | sort)
[ "$actual" = "$expected" ] ||
  fail "libtarvex-rqfile-dev holds: $(diff <(echo "$expected") <(echo "$actual") | grep '^[<>]' | tr '\n' ' ')"

lintian_missing=0
if command -v lintian >/dev/null; then
  echo "lintian:"
  lintian --fail-on error "$programs" "$symbols" "$sdk" || fail "lintian reports errors"
else
  lintian_missing=1
fi

root=$tmp/root
dpkg-deb -x "$programs" "$root"
dpkg-deb -x "$symbols" "$tmp/symbols"

# Every program and module is stripped, and its debug symbols are in
# tarvex-dbgsym under its build ID.
for binary in "$root"/usr/lib/tarvex/epk "$root"/usr/lib/tarvex/tarvex "$root"/usr/lib/tarvex/plugins/*.edl; do
  id=$(readelf -n "$binary" | sed -n 's/.*Build ID: *//p')
  [ -n "$id" ] || { fail "${binary##*/} has no build ID"; continue; }
  [ -f "$tmp/symbols/usr/lib/debug/.build-id/${id:0:2}/${id:2}.debug" ] || fail "no debug symbols of ${binary##*/}"
  readelf -S "$binary" | grep -q '\.debug_info' && fail "${binary##*/} is not stripped"
done

# The desktop: .epk files are packs by name and by their first bytes, the
# launcher opens them, software centres accept the description, the icon
# comes scalable and in its sizes.
mime=$root/usr/share/mime/packages/tarvex.xml
mkdir -p "$tmp/mime/packages"
cp "$mime" "$tmp/mime/packages/"
if update-mime-database "$tmp/mime" 2>"$tmp/err"; then
  grep -qF 'application/x-tarvex-pack:*.epk' "$tmp/mime/globs2" || fail "the file type has no glob *.epk"
  grep -q 'application/x-tarvex-pack' "$tmp/mime/magic" && grep -qa 'ZVPK' "$tmp/mime/magic" ||
    fail "the file type has no magic ZVPK"
else
  fail "update-mime-database refuses tarvex.xml: $(cat "$tmp/err")"
fi
grep -qx 'MimeType=application/x-tarvex-pack;' "$root/usr/share/applications/tarvex.desktop" ||
  fail "the launcher does not open packs"
metainfo=$root/usr/share/metainfo/invalid.tarvex.Tarvex.metainfo.xml
appstreamcli validate --no-net "$metainfo" >"$tmp/appstream" 2>&1 || fail "appstreamcli validate: $(cat "$tmp/appstream")"
grep -q '<mediatype>application/x-tarvex-pack</mediatype>' "$metainfo" || fail "the metainfo names no file type"
for size in 16 32 48 256; do
  file "$root/usr/share/icons/hicolor/${size}x${size}/apps/tarvex.png" | grep -q "PNG image data, $size x $size," ||
    fail "the ${size}x${size} icon is not a PNG of that size"
done

# The unpacked programs find their modules beside them.
epk=$root/usr/bin/epk
[ "$("$epk" --version)" = "epk ${version%-*}" ] || fail "epk --version says $("$epk" --version)"
[ "$("$root/usr/bin/tarvex" --version)" = "tarvex ${version%-*}" ] || fail "tarvex --version says something else"
[ "$(zcat "$root/usr/share/doc/tarvex/changelog.Debian.gz" | head -1 | cut -d' ' -f1-2)" = "tarvex ($version)" ] ||
  fail "the changelog's newest entry is not $version"
modules=$("$epk" plugins 2>&1 | cut -f1 | sort | tr '\n' ' ')
[ "$modules" = "deflate.edl zstd-fast.edl zstd-strong.edl " ] || fail "the unpacked epk finds the modules: $modules"
(
  cd "$tmp"
  "$epk" extract "$root/usr/share/tarvex/sample.epk" sample >/dev/null
  "$epk" create strong.epk sample --scheme zstd-strong.edl >/dev/null
  "$epk" extract strong.epk again >/dev/null
  diff -r sample again >/dev/null
) 2>"$tmp/err" || fail "the sample pack does not go through zstd-strong.edl and back: $(cat "$tmp/err")"

# The manual page names every command and every option epk takes.
manual=$(zcat "$root/usr/share/man/man1/epk.1.gz")
verbs=$("$epk" --completion-words)
for verb in $verbs; do
  grep -qF "\\fB$verb\\fR" <<<"$manual" || fail "epk.1 does not describe the command $verb"
  for option in $("$epk" --completion-words "$verb" | sed -n 's/^\(-[^ ]*\).*/\1/p'); do
    grep -qF -- "\\fB${option//-/\\-}\\fR" <<<"$manual" || fail "epk.1 does not describe the option $option of $verb"
  done
done

# Completion: what Tab offers after these words (the last one being typed).
mkdir -p "$tmp/complete/sub" "$tmp/complete/src/ui/img"
touch "$tmp/complete/notes.txt" "$tmp/complete/src/readme.txt" "$tmp/complete/src/ui/menu.json" \
  "$tmp/complete/src/ui/img/a.png"
"$epk" create "$tmp/complete/game.epk" "$tmp/complete/src" >/dev/null
complete_words() {
  (
    set +euo pipefail  # completion functions run in an interactive shell's settings
    cd "$tmp/complete"
    PATH=$root/usr/bin:$PATH
    # shellcheck disable=SC1091
    source "$root/usr/share/bash-completion/completions/epk"
    COMP_WORDS=("$@")
    COMP_CWORD=$(($# - 1))
    _epk
    if ((${#COMPREPLY[@]})); then printf '%s\n' "${COMPREPLY[@]}" | sort | tr '\n' ' '; fi
  )
}
check_completion() {  # check_completion "EXPECTED WORDS" WORDS...
  local expected=$1
  shift
  local offered
  offered=$(complete_words "$@")
  [ "$offered" = "$expected" ] || fail "completion of '$*': '$offered' instead of '$expected'"
}
all_verbs="$(printf '%s\n' $verbs help --help -h --version | sort | tr '\n' ' ')"
schemes="deflate.edl lz none rle zstd-fast.edl zstd-strong.edl "
check_completion "$all_verbs" epk ""
check_completion "cat " epk help ca
# Options wrapped onto a second line of the usage are offered too.
check_completion "--exclude --help --password-file --scheme --wait " epk create game.epk sub --
check_completion "--delete --dry-run --exclude --help --json --password-file --scheme --wait " epk sync game.epk sub --
check_completion "--dry-run --exclude --help --password-file --scheme --to --wait " epk add game.epk notes.txt --
check_completion "-C " epk extract game.epk -C
check_completion "$schemes" epk create game.epk sub --scheme ""
check_completion "game.epk src sub " epk list ""
check_completion "game.epk src sub " epk diff game.epk ""
check_completion "src sub " epk extract game.epk ""
check_completion "src sub " epk mount game.epk ""
check_completion "game.epk notes.txt src sub " epk passwd game.epk --new-password-file ""
check_completion "" epk plugins ""
# Paths inside the pack named on the line, one folder at a time.
check_completion "readme.txt ui/ " epk cat game.epk ""
check_completion "ui/img/ ui/menu.json " epk rm game.epk ui/
check_completion "ui/img/a.png " epk extract game.epk -C out ui/img/
check_completion "readme.txt ui/ " epk mv game.epk ui/menu.json ""
check_completion "ui/ " epk add game.epk notes.txt --to ""
check_completion "deflate.edl lz none readme.txt rle ui/ zstd-fast.edl zstd-strong.edl " epk scheme game.epk ui ""

[ "$failures" -eq 0 ] || exit 1
if [ "$lintian_missing" -eq 1 ]; then
  echo "SKIPPED: everything passed but lintian, which is not installed"
  exit 77
fi
echo "packages: fields, contents, debug symbols, lintian, desktop files, unpacked epk, manual page and completion checked"
