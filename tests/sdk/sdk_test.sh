#!/usr/bin/env bash
# Installs the RQ_File SDK into a temporary prefix, builds the game in game/
# against it twice (with the CMake package, and with pkg-config and the
# compiler alone), and the C game of the Windows build (C_GAME, through
# rq_file.h) once, and runs all three on packs made by epk: plain,
# protected, and stored by an encoder plug-in that sits in plugins/ beside
# the game.
# Usage: sdk_test.sh BUILD_DIR EPK MODULE_DIR GAME_SOURCE CMAKE CXX GENERATOR CC C_GAME
set -euo pipefail
export LC_ALL=C.UTF-8
build=$1 epk=$2 modules=$3 game_src=$4 cmake=$5 cxx=$6 generator=$7 cc=$8 c_game=$9
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
failures=0
fail() { echo "FAILED: $*" >&2; failures=$((failures + 1)); }
# Runs a build step quietly; shows its output when it fails.
quiet() { "$@" >"$tmp/step.log" 2>&1 || { cat "$tmp/step.log" >&2; echo "FAILED: $*" >&2; exit 1; }; }

prefix=$tmp/prefix
quiet "$cmake" --install "$build" --prefix "$prefix" --component sdk
library=$(cd "$prefix" && find . -name libRQ_File.a)
libdir=${library#./}
libdir=${libdir%/libRQ_File.a}

# The public header and one library, nothing of the core a game must not see.
expected=$(sort <<EOF2
include/tarvex/RQ_File.h
include/tarvex/rq_file.h
$libdir/libRQ_File.a
$libdir/cmake/RQ_File/RQ_FileConfig.cmake
$libdir/cmake/RQ_File/RQ_FileConfigVersion.cmake
$libdir/cmake/RQ_File/RQ_FileTargets.cmake
$libdir/cmake/RQ_File/RQ_FileTargets-CONFIG.cmake
$libdir/pkgconfig/rq_file.pc
EOF2
)
installed=$(cd "$prefix" && find . -type f | sed 's|^\./||; s|RQ_FileTargets-[a-z]*\.cmake|RQ_FileTargets-CONFIG.cmake|' | sort)
[ "$installed" = "$expected" ] || fail "the SDK installs $(diff <(echo "$expected") <(echo "$installed") | grep '^[<>]' | tr '\n' ' ')"

# The game, built twice; the prefix is moved first, so both builds show that
# the installed tree finds itself wherever it lies.
mv "$prefix" "$tmp/sdk"
prefix=$tmp/sdk
quiet "$cmake" -S "$game_src" -B "$tmp/cmake-build" -G "$generator" -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_PREFIX_PATH="$prefix"
quiet "$cmake" --build "$tmp/cmake-build"
mkdir -p "$tmp/pkg-config-build"
flags=$(PKG_CONFIG_PATH="$prefix/$libdir/pkgconfig" pkg-config --cflags --libs --static rq_file)
# shellcheck disable=SC2086  # the flags are words
quiet "$cxx" "$game_src/main.cpp" -o "$tmp/pkg-config-build/game" $flags
# The C game: compiled as C, linked as C++ (the library is C++ inside).
mkdir -p "$tmp/c-build"
cflags=$(PKG_CONFIG_PATH="$prefix/$libdir/pkgconfig" pkg-config --cflags rq_file)
# shellcheck disable=SC2086
quiet "$cc" -std=c99 -Wall -Wextra -pedantic -Werror $cflags -c "$c_game" -o "$tmp/c-build/main.o"
# shellcheck disable=SC2086
quiet "$cxx" "$tmp/c-build/main.o" -o "$tmp/c-build/game" $flags

# The packs: one file in a Chinese-named folder, compressible enough that the
# plug-in really stores it.
mkdir -p "$tmp/src/脚本"
for i in $(seq 200); do echo "print(\"你好，世界 $i\")"; done >"$tmp/src/脚本/main.lua"
printf '口令' >"$tmp/pw"
quiet "$epk" create "$tmp/plain.epk" "$tmp/src" --scheme lz
quiet "$epk" create "$tmp/locked.epk" "$tmp/src" --scheme lz --password-file "$tmp/pw"
quiet "$epk" create "$tmp/plugin.epk" "$tmp/src" --scheme zstd-fast.edl
listing=$("$epk" list "$tmp/plugin.epk")
grep -q 'Zstandard 快速' <<<"$listing" || fail "plugin.epk does not use zstd-fast.edl: $listing"

# Each game is run from a folder of its own with the module in plugins/
# beside it, through a symbolic link, and with the working folder elsewhere.
mkdir -p "$tmp/elsewhere"
for kind in cmake pkg-config c; do
  home=$tmp/$kind-game
  mkdir -p "$home/plugins" "$tmp/$kind-link"
  cp "$tmp/$kind-build/game" "$home/"
  cp "$modules/zstd-fast.edl" "$home/plugins/"
  ln -s "$home/game" "$tmp/$kind-link/game"
  for run in "plain.epk" "locked.epk 口令" "plugin.epk"; do
    read -r pack password <<<"$run"
    for game in "$home/game" "$tmp/$kind-link/game"; do
      out=$(cd "$tmp/elsewhere" && "$game" "$tmp/$pack" 脚本/main.lua ${password:+"$password"} 2>"$tmp/err") ||
        fail "$kind game on $pack: $(cat "$tmp/err")"
      [ "$out" = "$(cat "$tmp/src/脚本/main.lua")" ] || fail "$kind game on $pack: other bytes"
    done
  done
done

# What a game is told when a pack cannot be read as asked.
game=$tmp/cmake-game/game
expect_failure() {  # expect_failure MESSAGE ARGUMENTS...
  local message=$1
  shift
  if (cd "$tmp/elsewhere" && "$@" >/dev/null 2>"$tmp/err"); then
    fail "$* succeeded"
  elif ! grep -qF "$message" "$tmp/err"; then
    fail "$*: \"$(cat "$tmp/err")\" instead of \"$message\""
  fi
}
expect_failure "您输入的密码错误！无法打开该文档" "$game" "$tmp/locked.epk" 脚本/main.lua 密码
expect_failure "该文件包有密码保护，打开时没有给出密码。" "$game" "$tmp/locked.epk" 脚本/main.lua
# Modules are looked for beside the executable only, never in the working folder.
mkdir -p "$tmp/bare" "$tmp/elsewhere/plugins"
cp "$tmp/cmake-build/game" "$tmp/bare/"
cp "$modules/zstd-fast.edl" "$tmp/elsewhere/plugins/"
expect_failure "没有找到扩展解码模块：zstd-fast.edl" "$tmp/bare/game" "$tmp/plugin.epk" 脚本/main.lua

[ "$failures" -eq 0 ] || exit 1
echo "SDK: installed, found by CMake and pkg-config, C++ and C games read plain, protected and plug-in packs"
