#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Writes the kivocom(1) manual page from the tool's own help, so the page always matches the tool:
#   make-man.sh KIVOCOM_PROGRAM OUTPUT_FILE
set -euo pipefail
tool=$1
out=$2
. "$(dirname "$0")/help_sections.sh"

# Help text as roff: backslashes escaped, lines that start with a dot or quote protected.
roff_text() { sed -e 's/\\/\\e/g' -e "s/^\([.']\)/\\\\\&\1/"; }

top=$("$tool" --help)
version=$("$tool" --version | awk '{print $NF}')
{
  echo ".TH KIVOCOM 1 \"\" \"kivocom $version\" \"User Commands\""
  echo ".SH NAME"
  echo "kivocom \\- talk to laboratory instruments over RS-232 serial lines"
  echo ".SH SYNOPSIS"
  echo ".B kivocom"
  echo "\\fICOMMAND\\fR [\\fIOPTIONS\\fR] [\\fIARGUMENTS\\fR]"
  echo ".br"
  echo ".B kivocom"
  echo "\\fB\\-\\-version\\fR | \\fB\\-\\-help\\fR"
  echo ".SH DESCRIPTION"
  echo ".nf"
  printf '%s\n' "$top" | roff_text
  echo ".fi"
  echo ".SH COMMANDS"
  for command in $(subcommands "$top"); do
    help=$("$tool" "$command" --help)
    echo ".SS $command"
    echo ".nf"
    printf '%s\n' "$help" | roff_text
    echo ".fi"
    for nested in $(subcommands "$help"); do
      echo ".SS $command $nested"
      echo ".nf"
      "$tool" "$command" "$nested" --help | roff_text
      echo ".fi"
    done
  done
  echo ".SH FILES"
  echo "dbgkcom.txt, the traffic trace, in the folder --trace names (or KIVOCOM_TRACE_DIR)."
  echo ".SH ENVIRONMENT"
  echo "KIVOCOM_COM\\fIn\\fR maps COM number \\fIn\\fR to a device; KIVOCOM_PORTS_DIR names the ports folder;"
  echo "KIVOCOM_TRACE_DIR the trace folder."
  echo ".SH SEE ALSO"
  echo "The README of the kivocom package, installed with its documentation."
} >"$out"
