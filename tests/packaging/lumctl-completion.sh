#!/usr/bin/env bash
# The bash completion of lumctl offers what lumctl itself lists: the commands of its help, each
# command's options with the global ones, the model codes after --model, the ports of `lumctl ports`.
#   lumctl-completion.sh LUMCTL COMPLETION_FILE
set -euo pipefail
lumctl=$1
# shellcheck source=/dev/null
source "$2"
status=0

# offered WORD...: what the completion offers for the last word, sorted, one a line.
offered() {
  COMP_WORDS=("$lumctl" "$@")
  COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
  COMPREPLY=()
  _lumctl
  [ ${#COMPREPLY[@]} -eq 0 ] || printf '%s\n' "${COMPREPLY[@]}" | sort -u
}
expect() {
  if [ "$2" != "$3" ]; then
    printf '%s:\n  lumctl lists:   %s\n  completion has: %s\n' "$1" "$(echo $2)" "$(echo $3)"
    status=1
  fi
}
# The lines of one section ("Команды:", "Параметры:") of a help text on stdin.
section() { awk -v s="$1" '$0 == s { on = 1; next } /^$/ { on = 0 } on'; }
options_of() { section "Параметры:" | awk '/^  -/ { print $1 }' | tr ',' '\n'; }

commands=$("$lumctl" --help | section "Команды:" | awk '{ print $1 }' | sort -u)
[ -n "$commands" ] || { echo "no commands in lumctl --help"; exit 1; }
expect "commands" "$commands" "$(offered "")"
expect "help topics" "$commands" "$(offered help "")"
global=$("$lumctl" --help | options_of)
expect "global options" "$(sort -u <<<"$global")" "$(offered -)"
for command in $commands; do
  options=$({ echo "$global"; "$lumctl" "$command" --help | options_of; } | sort -u)
  expect "options of $command" "$options" "$(offered "$command" -)"
done
# Options' values before the command are not taken for the command.
expect "options of status after -p COM1 --model 201" "$(offered status -)" "$(offered -p COM1 --model 201 status -)"

models=$("$lumctl" --help | grep -m1 -- '--model N' | sed 's/.*(каталог): //; s/;.*//' | grep -o '[0-9]\+' | sort -u)
expect "--model values" "$models" "$(offered --model "")"
ports=$("$lumctl" ports | awk 'NR > 1 { print $1 }' | sort -u)
expect "port names" "$ports" "$(offered -p "")"
offered -p /dev/tt | grep -qx /dev/tty || { echo "-p /dev/tt: no device path offered"; status=1; }
exit $status
