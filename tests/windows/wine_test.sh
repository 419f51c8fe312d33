#!/usr/bin/env bash
# The Windows build (scripts/windows) under Wine, against the Linux build:
#   prefix   makes the Wine prefix and the locale the others run in (once)
#   runtime  RQ_File's C interface and a C game, built with MinGW against
#            rq_file.dll, read packs made by the Linux epk
#   epk      epk.exe makes, lists, extracts and syncs packs as the Linux epk
#   probes   the probes' dialogues are the Linux ones, in GBK
# Exit status 77 (skipped, with one line saying why) where the Windows build,
# Wine or MinGW-w64 is missing.
# Usage: wine_test.sh PART WINDOWS_BUILD LINUX_BIN SOURCE_DIR
set -euo pipefail
part=$1 windows=$2 linux=$3 source=$4
stage=$windows/stage
wine=/usr/lib/wine/wine64
cc=x86_64-w64-mingw32-gcc-posix

skip() {
  echo "Windows tests skipped: $*"
  exit 77
}
[ -x "$stage/bin/epk.exe" ] || skip "no Windows build in $windows (scripts/windows --for-tests makes it)"
[ -x "$wine" ] || skip "Wine is not installed (package wine64)"
command -v "$cc" >/dev/null || skip "MinGW-w64 is not installed (package g++-mingw-w64-x86-64-posix)"

# Windows programs under Wine: a Chinese Windows (ANSI code page 936, so GBK
# consoles) whose file names are UTF-8 on the Linux side.
unset LC_ALL LC_CTYPE LC_MESSAGES
export WINEPREFIX=$windows/wine-prefix WINEDEBUG=-all LOCPATH=$windows/locale LANG=zh_CN.UTF-8
if [ "$part" = prefix ]; then
  # And a GBK locale for the Linux probes that the Windows ones are held to.
  for charset in UTF-8 GBK; do
    [ -f "$LOCPATH/zh_CN.$charset/LC_CTYPE" ] && continue
    mkdir -p "$LOCPATH"
    localedef -i zh_CN -f "$charset" "$LOCPATH/zh_CN.$charset" >/dev/null 2>&1 ||
      skip "no zh_CN locale can be built (package locales)"
  done
  [ -f "$WINEPREFIX/system.reg" ] || "$wine" wineboot --init >/dev/null 2>&1
  exit 0
fi

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
failures=0
fail() {
  echo "FAILED: $*" >&2
  failures=$((failures + 1))
}
gbk() { iconv -f UTF-8 -t GBK; }
win() { (cd "$1" && shift && "$wine" "$@"); }

# A tree with Chinese names, text, random bytes, a file of more than 1 MiB
# (extracted through a mapping, stored by copies of ranges) and an empty file.
make_tree() {
  mkdir -p "$1/脚本" "$1/数据/空"
  for i in $(seq 300); do echo "print(\"你好，世界 $i\")"; done >"$1/脚本/main.lua"
  seq 200000 >"$1/数据/big.txt"
  head -c 70000 /dev/urandom >"$1/数据/random.bin"
  printf 'Hello world!' >"$1/a.txt"
  : >"$1/empty.txt"
}
# Each pack is named after its scheme (zstd-fast.edl: zstd-fast.epk).
schemes=(none rle lz deflate.edl zstd-fast.edl zstd-strong.edl)
printf '口令' >"$tmp/pw"

case $part in
runtime)
  make_tree "$tmp/src"
  mkdir -p "$tmp/game/plugins" "$tmp/bare" "$tmp/ext/脚本"
  for s in "${schemes[@]}"; do "$linux/epk" create "$tmp/${s%.edl}.epk" "$tmp/src" --scheme "$s" >/dev/null; done
  "$linux/epk" create "$tmp/locked.epk" "$tmp/src" --scheme lz --password-file "$tmp/pw" >/dev/null
  printf 'loose' >"$tmp/ext/脚本/main.lua"
  cp "$stage/bin/rq_file.dll" "$tmp/game/"
  cp "$stage/bin/rq_file.dll" "$tmp/bare/"
  cp "$stage"/bin/plugins/*.edl "$tmp/game/plugins/"
  # Against the import library, as a plain command line would.
  "$cc" -std=c99 -Wall -Werror -I"$stage/include" "$source/tests/windows/ReaderChecks.c" "$stage/lib/rq_file.lib" \
    -o "$tmp/game/reader_checks.exe"
  "$cc" -std=c99 -Wall -Werror -I"$stage/include" "$source/tests/windows/game/main.c" "$stage/lib/rq_file.lib" \
    -o "$tmp/game/game.exe"
  cp "$tmp/game/game.exe" "$tmp/bare/"

  {
    for s in "${schemes[@]%.edl}"; do
      printf 'pack\t%s\t-\t%s\t%s\n' "$s.epk" '脚本/main.lua' src/脚本/main.lua
      printf 'pack\t%s\t-\t%s\t%s\n' "$s.epk" "$(printf '脚本\\main.lua' | gbk)" src/脚本/main.lua
      printf 'pack\t%s\t-\t%s\t%s\n' "$s.epk" '数据/random.bin' src/数据/random.bin
      printf 'pack\t%s\t-\t%s\t%s\n' "$s.epk" '数据/big.txt' src/数据/big.txt
      printf 'pack\t%s\t-\t%s\t%s\n' "$s.epk" a.txt src/a.txt
      printf 'pack\t%s\t-\t%s\t%s\n' "$s.epk" empty.txt src/empty.txt
      printf 'pack\t%s\t-\t%s\t-\n' "$s.epk" 数据/none.txt
    done
    printf 'pack\tlocked.epk\t口令\t脚本/main.lua\tsrc/脚本/main.lua\n'
    printf 'pack\tlocked.epk\t%s\t脚本/main.lua\tsrc/脚本/main.lua\n' "$(printf '口令' | gbk)"
    printf 'pack\tlocked.epk\t密码\t脚本/main.lua\t-\n'
    printf 'pack\tlocked.epk\t-\t脚本/main.lua\t-\n'
    printf 'loose\tlz.epk\text\t脚本/main.lua\text/脚本/main.lua\n'
    printf 'loose\tlz.epk\text\ta.txt\tsrc/a.txt\n'
    printf 'plain\tsrc/数据/random.bin\tsrc/数据/random.bin\n'
    printf 'plain\t%s\tsrc/a.txt\n' "$(printf 'src/数据/../a.txt' | gbk)"
    printf 'write\t写入.txt\t你好\n'
  } >"$tmp/checks"
  win "$tmp" game/reader_checks.exe checks >"$tmp/out" 2>"$tmp/err" || fail "reader checks: $(cat "$tmp/out")"

  # The game: a protected pack, and a pack whose module is not beside it
  # (its message in the console's GBK).
  out=$(win "$tmp" game/game.exe locked.epk '脚本\main.lua' 口令 2>"$tmp/err") || fail "game: $(cat "$tmp/err")"
  [ "$out" = "$(cat "$tmp/src/脚本/main.lua")" ] || fail "game: other bytes"
  if win "$tmp" bare/game.exe zstd-fast.epk 脚本/main.lua 2>"$tmp/err" >/dev/null; then
    fail "a module was found where none is"
  elif ! grep -qF "$(printf '没有找到扩展解码模块：zstd-fast.edl' | gbk)" "$tmp/err"; then
    fail "no module: $(iconv -f GBK -t UTF-8 <"$tmp/err")"
  fi

  # The CMake package finds the DLL's import library.
  if cmake -S "$source/tests/windows/game" -B "$tmp/cmake" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$source/packaging/windows/MinGW-x86_64.cmake" -DRQ_File_DIR="$stage/lib/cmake/RQ_File" \
    >"$tmp/log" 2>&1 && cmake --build "$tmp/cmake" >>"$tmp/log" 2>&1; then
    cp "$tmp/cmake/game.exe" "$tmp/game/cmake_game.exe"
    out=$(win "$tmp" game/cmake_game.exe deflate.epk a.txt 2>"$tmp/err") || fail "CMake game: $(cat "$tmp/err")"
    [ "$out" = "Hello world!" ] || fail "CMake game: other bytes"
  else
    fail "the CMake game does not build: $(cat "$tmp/log")"
  fi
  ;;

epk)
  make_tree "$tmp/src"
  mkdir -p "$tmp/linux" "$tmp/windows"
  # Both from the same folder with the same relative paths, so that their
  # reports differ only in the name of the pack's folder.
  same_report() { [ "$(sed 's|windows/|linux/|g' "$tmp/windows/$1")" = "$(cat "$tmp/linux/$1")" ]; }
  # Packs made on both sides from one tree, every scheme and a password.
  for scheme in "${schemes[@]}" lz-locked; do
    s=${scheme%.edl} password=/dev/null
    scheme=${scheme%-locked}
    [ "$s" = lz-locked ] && password=pw
    (cd "$tmp" && "$linux/epk" create "linux/$s.epk" src --scheme "$scheme" --password-file "$password" \
      >"linux/$s.out")
    win "$tmp" "$stage/bin/epk.exe" create "windows/$s.epk" src --scheme "$scheme" --password-file "$password" \
      >"$tmp/windows/$s.out" || fail "create $s"
    cmp -s "$tmp/linux/$s.epk" "$tmp/windows/$s.epk" || fail "create $s: another pack"
    same_report "$s.out" || fail "create $s: another report: $(cat "$tmp/windows/$s.out")"
  done
  for s in zstd-strong lz-locked; do
    password=/dev/null
    [ "$s" = lz-locked ] && password=pw
    (cd "$tmp" && "$linux/epk" list "linux/$s.epk" --password-file "$password" >"linux/$s.list")
    win "$tmp" "$stage/bin/epk.exe" list "linux/$s.epk" --password-file "$password" >"$tmp/windows/$s.list" ||
      fail "list $s"
    cmp -s "$tmp/linux/$s.list" "$tmp/windows/$s.list" || fail "list $s: another listing"
    win "$tmp" "$stage/bin/epk.exe" extract "linux/$s.epk" "out-$s" --password-file "$password" >/dev/null ||
      fail "extract $s"
    diff -r "$tmp/src" "$tmp/out-$s" >/dev/null || fail "extract $s: another tree"
  done
  # A sync of one changed tree into copies of one pack.
  cp "$tmp/linux/lz.epk" "$tmp/linux/synced.epk" && cp "$tmp/linux/lz.epk" "$tmp/windows/synced.epk"
  echo changed >>"$tmp/src/a.txt" && rm "$tmp/src/empty.txt" && printf '新的' >"$tmp/src/数据/新.txt"
  (cd "$tmp" && "$linux/epk" sync linux/synced.epk src --delete --scheme rle >linux/sync.out)
  win "$tmp" "$stage/bin/epk.exe" sync windows/synced.epk src --delete --scheme rle >"$tmp/windows/sync.out" ||
    fail "sync"
  cmp -s "$tmp/linux/synced.epk" "$tmp/windows/synced.epk" || fail "sync: another pack"
  same_report sync.out || fail "sync: another report: $(cat "$tmp/windows/sync.out")"
  # A source named with '\' between folders is left out by its name in the pack.
  win "$tmp" "$stage/bin/epk.exe" add windows/lz.epk 'src\a.txt' --to ui --exclude 'ui/a.txt' >"$tmp/add.out" ||
    fail "add with an exclusion"
  ! grep -q '^加入' "$tmp/add.out" || fail "an excluded source was added: $(cat "$tmp/add.out")"
  # Names Windows would take for a stream or a device: the stream's is
  # skipped with a message, the device names become files of their own.
  mkdir -p "$tmp/odd"
  printf 'stream' >"$tmp/odd/a:b.txt" && printf 'console' >"$tmp/odd/CON" && printf 'null' >"$tmp/odd/nul.txt"
  "$linux/epk" create "$tmp/odd.epk" "$tmp/odd" >/dev/null
  if win "$tmp" "$stage/bin/epk.exe" extract odd.epk odd-out >/dev/null 2>"$tmp/err"; then
    fail "extract of a name with ':' succeeded"
  fi
  grep -qF '文件名“a:b.txt”不能安全地写到磁盘上，已跳过。' "$tmp/err" || fail "a name with ':': $(cat "$tmp/err")"
  [ "$(cat "$tmp/odd-out/CON" "$tmp/odd-out/nul.txt")" = consolenull ] || fail "device names were not extracted as files"
  [ ! -e "$tmp/odd-out/a" ] || fail "a stream's file was made"
  # What Windows cannot do is said.
  if win "$tmp" "$stage/bin/epk.exe" mount linux/lz.epk mnt 2>"$tmp/err"; then
    fail "mount did not fail"
  elif ! grep -q 'FUSE' "$tmp/err"; then
    fail "mount: $(cat "$tmp/err")"
  fi
  ;;

probes)
  mkdir -p "$tmp/linux/src/info" "$tmp/linux/ext/info"
  printf 'Hello world!' >"$tmp/linux/src/test.txt"
  printf '包里的信息' >"$tmp/linux/src/info/info.txt"
  printf '外部的信息' >"$tmp/linux/ext/info/info.txt"
  "$linux/epk" create "$tmp/linux/test.epk" "$tmp/linux/src" --scheme lz >/dev/null
  cp -r "$tmp/linux" "$tmp/windows"
  cp "$stage/bin/"*_probe.exe "$tmp/windows/"
  # The dialogues on a GBK console: Linux in a GBK locale, Windows with code
  # page 936. Typed answers are GBK too.
  answers=$(printf 'src/test.txt 写入.txt 你好 x' | gbk)
  (cd "$tmp/linux" && echo x | LC_ALL=zh_CN.GBK "$linux/pack_lookup_probe") >"$tmp/lookup.linux"
  (cd "$tmp/linux" && printf '%s' "$answers" | LC_ALL=zh_CN.GBK "$linux/file_rw_probe") >"$tmp/rw.linux"
  echo x | win "$tmp/windows" pack_lookup_probe.exe | tr -d '\r' >"$tmp/lookup.windows"
  printf '%s' "$answers" | win "$tmp/windows" file_rw_probe.exe | tr -d '\r' >"$tmp/rw.windows"
  for probe in lookup rw; do
    cmp -s "$tmp/$probe.linux" "$tmp/$probe.windows" ||
      fail "$probe probe: $(diff <(iconv -c -f GBK -t UTF-8 <"$tmp/$probe.linux") <(iconv -c -f GBK -t UTF-8 <"$tmp/$probe.windows"))"
  done
  # The name typed in GBK: Linux uses its bytes, Windows the characters.
  cmp -s "$tmp/linux/$(printf '写入.txt' | gbk)" "$tmp/windows/写入.txt" || fail "file_rw_probe wrote another file"
  ;;

*)
  echo "unknown part: $part" >&2
  exit 2
  ;;
esac
[ "$failures" -eq 0 ] || exit 1
echo "Windows $part under Wine: as on Linux"
