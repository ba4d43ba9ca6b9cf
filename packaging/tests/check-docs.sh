#!/bin/bash
# Checks what is installed beside the programs against the programs
# themselves: every option --help lists has an entry in the manual page,
# the pages format without a warning, and the completion completes.
# Usage: check-docs.sh BUILD_DIR SOURCE_DIR
set -u
build=$1
source_dir=$2
failures=0

for program in orvandel orvandel-heightmap; do
    page=$build/packaging/man/$program.1
    # An entry is a .TP paragraph whose tag starts with the option.
    for option in $("$build/$program" --help | sed -n 's/^  \(--[a-z0-9-]*\).*/\1/p'); do
        escaped=${option//-/\\\\-}
        if ! grep -A1 -x '\.TP' "$page" | grep -q "^\.B[IR]\? $escaped\( \|$\)"; then
            echo "$program.1 has no entry for $option"
            failures=$((failures + 1))
        fi
    done
    warnings=$(LC_ALL=C.UTF-8 groff -man -ww -z "$page" 2>&1)
    if [ -n "$warnings" ]; then
        echo "$program.1: $warnings"
        failures=$((failures + 1))
    fi
done

"$source_dir/packaging/tests/check-completion.sh" "$build/packaging/completion/orvandel" ||
    failures=$((failures + 1))
exit $((failures > 0))
