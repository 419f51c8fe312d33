#!/usr/bin/env bash
# Checks the Debian packages tarvex and libtarvex-rqfile-dev: their fields
# and dependencies, their exact file lists, lintian, and the unpacked epk
# with its modules found beside it, its manual page and its completion.
# Usage: package_test.sh DEB_DIR VERSION            (packages already made)
#        package_test.sh --build BUILD_DIR CPACK VERSION   (made from a build)
# Exits 77 (skipped) when dpkg-deb is missing, or only lintian is and all
# else passed.
set -euo pipefail
export LC_ALL=C.UTF-8
command -v dpkg-deb >/dev/null || { echo "SKIPPED: dpkg-deb is not installed"; exit 77; }
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
if [ "$1" = --build ]; then
  command -v dpkg-shlibdeps >/dev/null || { echo "SKIPPED: dpkg-shlibdeps is not installed"; exit 77; }
  "$3" --config "$2/CPackConfig.cmake" -B "$tmp/cpack" >"$tmp/cpack.log" 2>&1 ||
    { cat "$tmp/cpack.log"; echo "FAILED: cpack"; exit 1; }
  debs=$tmp/cpack version=$4
else
  debs=$1 version=$2
fi
failures=0
fail() { echo "FAILED: $*" >&2; failures=$((failures + 1)); }

programs=$debs/tarvex_${version}_amd64.deb
sdk=$debs/libtarvex-rqfile-dev_${version}_amd64.deb
for deb in "$programs" "$sdk"; do
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
[ "$(field "$programs" Recommends)" = fuse3 ] || fail "tarvex does not recommend fuse3 (fusermount3, for epk mount)"
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
./usr/share/man/man1/epk.1.gz
./usr/share/man/man1/tarvex.1.gz
./usr/share/tarvex/sample.epk
EOF2
)
actual=$(contents "$programs")
[ "$actual" = "$expected" ] || fail "tarvex holds: $(diff <(echo "$expected") <(echo "$actual") | grep '^[<>]' | tr '\n' ' ')"
actual=$(contents "$sdk")
libdir=$(grep -o '^\./usr/lib.*/libRQ_File\.a$' <<<"$actual" | sed 's|/libRQ_File\.a$||') || true
expected=$(sort <<EOF2
./usr/include/RQ_File.h
./usr/include/rq_file.h
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
  lintian --fail-on error "$programs" "$sdk" || fail "lintian reports errors"
else
  lintian_missing=1
fi

# The unpacked programs find their modules beside them.
root=$tmp/root
dpkg-deb -x "$programs" "$root"
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

# The manual page names every command and option that epk --help shows.
help=$("$epk" --help)
manual=$(zcat "$root/usr/share/man/man1/epk.1.gz")
verbs=$(sed -n 's/^  epk \([a-z][a-z]*\).*/\1/p' <<<"$help")
for verb in $verbs; do
  grep -qF "\\fB$verb\\fR" <<<"$manual" || fail "epk.1 does not describe the command $verb"
done
for option in $(grep -oE -- '(^| |\[|\()-{1,2}[a-z][a-z-]*' <<<"$help" | tr -d ' [(' | sort -u) --version --help; do
  grep -qF -- "\\fB${option//-/\\-}\\fR" <<<"$manual" || fail "epk.1 does not describe the option $option"
done

# Completion: what Tab offers after these words (the last one being typed).
mkdir -p "$tmp/complete/sub"
touch "$tmp/complete/game.epk" "$tmp/complete/notes.txt"
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
all_verbs="$(printf '%s\n' $verbs help --help --version | sort | tr '\n' ' ')"
schemes="deflate.edl lz none rle zstd-fast.edl zstd-strong.edl "
check_completion "$all_verbs" epk ""
check_completion "--password-file --scheme " epk create game.epk sub --
check_completion "--dry-run --scheme --to " epk add game.epk notes.txt --
check_completion "-r " epk add game.epk -r
check_completion "$schemes" epk create game.epk sub --scheme ""
check_completion "$schemes" epk scheme game.epk a/b ""
check_completion "game.epk sub " epk list ""
check_completion "game.epk sub " epk diff game.epk ""
check_completion "sub " epk extract game.epk ""
check_completion "sub " epk mount game.epk ""
check_completion "--foreground --password-file " epk mount game.epk sub --
check_completion "game.epk notes.txt sub " epk passwd game.epk --new-password-file ""
check_completion "game.epk notes.txt sub " epk add --to ui game.epk ""
check_completion "" epk plugins ""

[ "$failures" -eq 0 ] || exit 1
if [ "$lintian_missing" -eq 1 ]; then
  echo "SKIPPED: everything passed but lintian, which is not installed"
  exit 77
fi
echo "packages: fields, contents, lintian, unpacked epk, manual page and completion checked"
