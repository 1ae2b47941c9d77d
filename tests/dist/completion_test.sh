#!/usr/bin/env bash
# The bash completion of pelmora-cli against the program it completes: each row is the words typed
# (the last one being completed) and the completions expected.
# Usage: completion_test.sh COMPLETION_SCRIPT PELMORA_CLI
set -uo pipefail
source "$1"
cli=$2
failures=0
check() {  # expected, then the words after the program's name
    local expected=$1
    shift
    COMP_WORDS=("$cli" "$@")
    COMP_CWORD=$#
    _pelmora_cli
    if [[ "${COMPREPLY[*]}" != "$expected" ]]; then
        echo "FAIL: pelmora-cli $* -> '${COMPREPLY[*]}', expected '$expected'"
        failures=$((failures + 1))
    fi
}
check "set-id status summary sync" s
check "--formats" convert --fo
check "mps kmh mph" convert --speed-unit ""
check "kml-path,nmea kml-path,nmea-id" convert --formats kml-path,n
check "19200 115200" read --baud 1
check "--baud --port --set-rate --simulate" status ""
check "" convert --tz-bias ""
zones=$(_pelmora_cli_zones)
grep -qx 'Europe/Berlin' <<<"$zones" || { echo "FAIL: no Europe/Berlin among the zones"; failures=$((failures + 1)); }
grep -q '^posix/\|\.tab$' <<<"$zones" && { echo "FAIL: zone list holds copies or tables"; failures=$((failures + 1)); }
exit $((failures > 0))
