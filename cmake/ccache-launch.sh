#!/usr/bin/env bash
# The compiler launcher when ccache is installed (cmake/Ccache.cmake).
#   ccache-launch.sh <ccache> <source root> <compiler> <arguments...>
#
# Paths under the source root reach ccache relative to the build's working folder (CCACHE_BASEDIR),
# so a checkout at another path finds what this one cached. A precompiled header holds the
# absolute paths of the checkout it was made in, so its bytes differ from checkout to checkout, and
# an object hashed with them would never be shared. When this launcher makes a precompiled header it
# therefore writes a checksum beside it (<header>.pch.sum) that names no path of the checkout: the
# command and the name and contents of every file the header was made from. ccache hashes that
# file in place of the header (CCACHE_PCH_EXTSUM). The header itself is made in every checkout
# (its command names its own wrapper by absolute path), so each checkout compiles with its own.
set -uo pipefail
ccache=$1 root=$2
shift 2
export CCACHE_BASEDIR=$root
export CCACHE_SLOPPINESS=pch_defines,time_macros,include_file_mtime,include_file_ctime
export CCACHE_PCH_EXTSUM=true

emit=0 out="" dep="" prev=""
for a in "$@"; do
  case $prev in
    -o) out=$a ;;
    -MF) dep=$a ;;
  esac
  [ "$a" = -emit-pch ] && emit=1
  prev=$a
done
if [ $emit = 0 ] || [ -z "$out" ] || [ -z "$dep" ]; then
  exec "$ccache" "$@"
fi

# A checksum left from an earlier header would vouch for this one: it goes first.
rm -f "$out.sum"
"$ccache" "$@" || exit

# The files the header was made from (the dependency file: "target: file file \", one path per
# word; a space inside a path is escaped), their checkout's root replaced by a fixed name.
sum=$(
  set -e
  for a in "$@"; do printf '%s\n' "${a//"$root"/@root@}"; done
  sed -e 's/\\$//' -e 's/\\ /\x01/g' "$dep" | tr -s ' \t' '\n\n' | sed '1d;/^$/d' | tr '\001' ' ' |
    while IFS= read -r f; do
      h=$(sha256sum <"$f") || exit 1
      printf '%s %s\n' "${f//"$root"/@root@}" "${h%% *}"
    done
) || exit 0   # no checksum: ccache hashes the header itself, which is only never shared
printf '%s\n' "$sum" | sha256sum | cut -d' ' -f1 >"$out.sum.tmp" && mv "$out.sum.tmp" "$out.sum"
