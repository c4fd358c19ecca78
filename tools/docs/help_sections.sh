# SPDX-License-Identifier: MIT
# Shared by the manual-page and completion generators: reads the tool's own help.
#   subcommands HELP_TEXT   the names listed under "Subcommands:", one a line
#   options HELP_TEXT       the option names (-x and --long) listed under "Options:", one a line

subcommands() {
  printf '%s\n' "$1" | awk '/^Subcommands:/ {inside = 1; next} /^[^ ]/ {inside = 0} inside && /^  [a-z]/ {print $1}'
}

options() {
  printf '%s\n' "$1" | awk '/^Options:/ {inside = 1; next} /^[^ ]/ {inside = 0}
    inside && /^  -/ {n = split($1, names, ","); for (i = 1; i <= n; i++) print names[i]}'
}
