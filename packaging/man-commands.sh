#!/bin/sh
# Writes a help2man include file ($2) with the own help of every command of thermivo-cli ($1), so the
# manual shows each command's options and example exactly as `thermivo-cli COMMAND --help` does.
set -e
cli=$1
out=$2
{
    echo "[COMMANDS]"
    for command in $("$cli" --help | sed -n '/^Commands:/,/^$/s/^  \([a-z-]*\).*/\1/p'); do
        echo ".SS $command"
        echo ".nf"
        # The exit status is the same for all and stands once in the main section.
        "$cli" "$command" --help | sed -e '/^Exit status:/,$d' -e 's/\\/\\e/g' -e "s/^\\([.']\\)/\\\\\\&\\1/"
        echo ".fi"
    done
} >"$out"
