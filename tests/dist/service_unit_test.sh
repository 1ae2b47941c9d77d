#!/usr/bin/env bash
# The user unit as systemd reads it: systemd-analyze verify, with no complaint at all (it returns 0
# for a setting it ignores). Skipped (77) where there is no systemd-analyze.
# The unit names pelmora-cli without a folder (systemd finds it on its search path); here it is the
# program built in BINDIR. Usage: service_unit_test.sh UNIT BINDIR
set -uo pipefail
command -v systemd-analyze >/dev/null || { echo "SKIP: no systemd-analyze"; exit 77; }
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
mkdir -m 700 "$dir/run"
grep -qx "ExecStart=pelmora-cli sync --remembered --watch --notify" "$1" ||
    { echo "FAIL: ExecStart is not the remembered logger's sync"; exit 1; }
sed "s|^ExecStart=pelmora-cli|ExecStart=$2/pelmora-cli|" "$1" >"$dir/pelmora-sync.service"
out=$(XDG_RUNTIME_DIR=$dir/run systemd-analyze --user --man=no verify "$dir/pelmora-sync.service" 2>&1)
rc=$?
if [[ $out == *"Failed to initialize manager"* ]]; then
    echo "SKIP: systemd-analyze cannot run a user manager here"
    exit 77
fi
if ((rc != 0)) || [[ -n $out ]]; then
    echo "FAIL: systemd-analyze --user verify: $out"
    exit 1
fi
