#!/bin/bash
# Checks the bash completion in $1 the way bash uses it: sources it and calls
# the completion function with COMP_WORDS set as bash sets them for the line
# being completed. Prints one line per failure and exits 1 if any.
set -u
completion=$1
# shellcheck disable=SC1090
source "$completion" || { echo "cannot source $completion"; exit 1; }

failures=0
# expect PROGRAM "WORDS ON THE LINE" "SORTED EXPECTED CANDIDATES"
# The last word is the one being completed (empty when the line ends in a
# space).
expect()
{
    local program=$1 line=$2 wanted=$3
    read -r -a COMP_WORDS <<<"$program $line"
    [[ $line == *" " || -z $line ]] && COMP_WORDS+=("")
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    COMPREPLY=()
    local function
    function=$(complete -p "$program" | sed -n 's/.*-F \([^ ]*\) .*/\1/p')
    "$function"
    local got
    got=$(printf '%s\n' "${COMPREPLY[@]}" | sort | tr '\n' ' ' | sed 's/ $//')
    if [[ $got != "$wanted" ]]; then
        echo "completing '$program $line': got '$got', wanted '$wanted'"
        failures=$((failures + 1))
    fi
}

expect orvandel-heightmap "--form" "--format"
expect orvandel-heightmap "--format p" "pgm16 png16"
expect orvandel-heightmap "--format = t" "tga tif32"
expect orvandel-heightmap "--size 4" "4033 4097"
expect orvandel-heightmap "--rows " "bottom top"
expect orvandel-heightmap "--seed " ""
expect orvandel-heightmap "--out map.png --me" "--meta"
expect orvandel "--r" "--roughness"
expect orvandel "--falloff " ""
exit $((failures > 0))
