#!/bin/sh
# Runs a Windows test program under Wine from a copy in a directory whose path is
# longer than 260 characters, then removes the copy. Arguments: the program, then
# its own arguments.
set -eu
here=$(cd "$(dirname "$0")/../.." && pwd)
program=$1
shift
top=$(mktemp -d "$(dirname "$program")/long-path.XXXXXX")
trap 'rm -rf "$top"' EXIT
deep=$top
while [ ${#deep} -le 300 ]; do
    deep=$deep/a-rather-long-directory-name
done
mkdir -p "$deep"
cp "$program" "$deep/"
"$here/scripts/wine-run.sh" "$deep/$(basename "$program")" "$@"
