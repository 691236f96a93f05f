#!/usr/bin/env bash
# The bash completion of thermivo-cli offers the tool's own commands, options and allowed values.
# Usage: completion-test.sh BASH_COMPLETION_SCRIPT COMPLETION_FILE FOLDER_OF_THERMIVO_CLI
set -uo pipefail
. "$1"
. "$2"
PATH=$3:$PATH
failures=0
expect() {
  local line=$1 want=$2 words
  read -ra words <<<"$line"
  [[ $line == *" " ]] && words+=("")
  COMP_LINE=$line COMP_POINT=${#line} COMP_WORDS=("${words[@]}") COMP_CWORD=$((${#words[@]} - 1))
  COMPREPLY=()
  _thermivo_cli thermivo-cli "${words[COMP_CWORD]}" "${words[COMP_CWORD - 1]}"
  if [[ "${COMPREPLY[*]}" != "$want" ]]; then
    echo "'$line': got '${COMPREPLY[*]}', want '$want'"
    failures=$((failures + 1))
  fi
}
expect "thermivo-cli " "info create convert report download status set-clock start history verify ports --help --version --trace --quiet"
expect "thermivo-cli s" "status set-clock start"
expect "thermivo-cli --trace t.log s" "status set-clock start"
expect "thermivo-cli --q" "--quiet"
expect "thermivo-cli convert --c" "--csv --curve-pages"
expect "thermivo-cli info --unit " "C F"
expect "thermivo-cli convert day1.kvlu --pages " "text curve"
expect "thermivo-cli start --port /dev/null --i" "--interval"
# File types by option, and serial ports only after --port (a fake machine with one CH34x bridge).
dir=$(mktemp -d)
fake=$(mktemp -d)
trap 'rm -rf "$dir" "$fake"' EXIT
touch "$dir/a.kvlu" "$dir/b.xls" "$dir/c.xlsx" "$dir/d.csv" "$dir/e.pdf" "$dir/f.json" "$dir/plain"
mkdir -p "$fake/sys/class/tty/ttyUSB7" "$fake/sys/devices/usb/1-1/1-1:1.0/ttyUSB7" "$fake/dev"
echo 1a86 >"$fake/sys/devices/usb/1-1/idVendor"
echo 7523 >"$fake/sys/devices/usb/1-1/idProduct"
ln -s "$fake/sys/devices/usb/1-1/1-1:1.0/ttyUSB7" "$fake/sys/class/tty/ttyUSB7/device"
ln -s /dev/null "$fake/dev/ttyUSB7"
cd "$dir" || exit 1
expect "thermivo-cli convert a.kvlu --xlsx " "c.xlsx"
expect "thermivo-cli convert a.kvlu --xls " "b.xls"
expect "thermivo-cli convert a.kvlu --csv " "d.csv"
expect "thermivo-cli convert a.kvlu --pdf " "e.pdf"
expect "thermivo-cli convert " "a.kvlu"
expect "thermivo-cli download -o " "a.kvlu"
expect "thermivo-cli create --from-json " "f.json"
THERMIVO_SYSFS_ROOT=$fake/sys THERMIVO_DEV_ROOT=$fake/dev expect "thermivo-cli status --port " "$fake/dev/ttyUSB7"
expect "thermivo-cli status --port $fake/dev/" "$fake/dev/ttyUSB7"
expect "thermivo-cli status --port $dir/" ""
expect "thermivo-cli status --port /dev/nul" "/dev/null"
exit $((failures > 0))
