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
expect "thermivo-cli " "info create convert report download status set-clock start history verify --help --version"
expect "thermivo-cli s" "status set-clock start"
expect "thermivo-cli convert --c" "--csv --curve-pages"
expect "thermivo-cli info --unit " "C F"
expect "thermivo-cli convert day1.kvlu --pages " "text curve"
expect "thermivo-cli start --port /dev/null --i" "--interval"
exit $((failures > 0))
