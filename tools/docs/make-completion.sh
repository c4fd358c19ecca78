#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Writes the bash completion of kivocom from the tool's own help: subcommands, their options and
# the nested subcommands of settings.
#   make-completion.sh KIVOCOM_PROGRAM OUTPUT_FILE
set -euo pipefail
tool=$1
out=$2
. "$(dirname "$0")/help_sections.sh"

top=$("$tool" --help)
commands=$(subcommands "$top" | tr '\n' ' ')
{
  echo "# bash completion for kivocom, made from its help by make-completion.sh"
  echo "_kivocom() {"
  echo "  local cur=\${COMP_WORDS[COMP_CWORD]} command='' i"
  echo "  for ((i = 1; i < COMP_CWORD; i++)); do"
  echo "    case \${COMP_WORDS[i]} in"
  echo "      $(echo $commands | tr ' ' '|')) command=\${COMP_WORDS[i]}; break ;;"
  echo "    esac"
  echo "  done"
  echo "  local words"
  echo "  case \$command in"
  echo "    '') words='$commands--help --version' ;;"
  for command in $commands; do
    help=$("$tool" "$command" --help)
    words="$(subcommands "$help" | tr '\n' ' ')$(options "$help" | tr '\n' ' ')"
    for nested in $(subcommands "$help"); do
      words+="$(options "$("$tool" "$command" "$nested" --help)" | tr '\n' ' ')"
    done
    words=$(printf '%s\n' $words | awk '!seen[$0]++' | tr '\n' ' ')
    echo "    $command) words='${words% }' ;;"
  done
  echo "  esac"
  echo "  COMPREPLY=(\$(compgen -W \"\$words\" -- \"\$cur\"))"
  echo "}"
  echo "complete -o default -F _kivocom kivocom"
} >"$out"
