#!/usr/bin/env bash
# Every packaged systemd unit (each packaging/*.service.in, as the build
# configured it) and the unit "voltrane-collector -Service" writes must pass
# "systemd-analyze verify" without a word and rate an exposure of at most 2.5
# in "systemd-analyze security --offline=true".
#
# systemd need not run here: both checks read the unit files only. verify
# wants every program a unit starts to exist, so a program that is not
# installed on this machine is replaced by /bin/true in a copy of the unit.
#
#   unit_sandbox_test.sh <source dir> <configured packaging dir> <voltrane-collector>
set -euo pipefail

source_dir=$1
packaging_dir=$2
collector=$3
max_exposure=2.5

command -v systemd-analyze >/dev/null || { echo "systemd-analyze is missing (package systemd)"; exit 1; }

work=$(mktemp -d /tmp/voltrane-units.XXXXXX)
trap 'rm -rf "$work"' EXIT
failures=0

# The unit with each ExecStart*= program that does not exist replaced by /bin/true.
runnable_copy() {
  local unit=$1 copy=$2
  cp "$unit" "$copy"
  grep -E '^ExecStart(Pre|Post)?=' "$unit" | while IFS= read -r line; do
    local program=${line#*=}
    program=${program#[-@:+!]}
    program=${program#\"}
    program=${program%%[\" ]*}
    if [ ! -x "$program" ]; then
      sed -i "/^ExecStart/s|$program|/bin/true|" "$copy"
    fi
  done
}

check_unit() {
  local unit=$1 label=$2
  local name copy_dir verify_output report exposure
  name=$(basename "$unit")
  copy_dir="$work/verify-$label"
  mkdir -p "$copy_dir"
  runnable_copy "$unit" "$copy_dir/$name"

  if ! verify_output=$(systemd-analyze verify --man=no "$copy_dir/$name" 2>&1) \
     || [ -n "$verify_output" ]; then
    echo "FAIL $label: systemd-analyze verify:"
    echo "$verify_output"
    failures=$((failures + 1))
  fi

  report=$(systemd-analyze security --offline=true "$unit" 2>&1) || true
  exposure=$(printf '%s\n' "$report" | sed -n 's/.*Overall exposure level for .*: \([0-9.]*\) .*/\1/p')
  if [ -z "$exposure" ]; then
    echo "FAIL $label: no exposure level in:"
    echo "$report"
    failures=$((failures + 1))
  elif awk -v e="$exposure" -v m="$max_exposure" 'BEGIN { exit !(e > m) }'; then
    echo "FAIL $label: exposure $exposure is above $max_exposure; what counts against it:"
    printf '%s\n' "$report" | grep '✗' || true
    failures=$((failures + 1))
  else
    echo "ok   $label: exposure $exposure, verify clean"
  fi
}

# The packaged units.
shopt -s nullglob
templates=("$source_dir"/packaging/*.service.in)
[ ${#templates[@]} -gt 0 ] || { echo "FAIL: no unit templates in $source_dir/packaging"; exit 1; }
for template in "${templates[@]}"; do
  name=$(basename "$template" .in)
  if [ ! -f "$packaging_dir/$name" ]; then
    echo "FAIL $name: not configured into $packaging_dir (configure the build again)"
    failures=$((failures + 1))
    continue
  fi
  check_unit "$packaging_dir/$name" "packaged $name"
done

# The unit "-Service" writes, into a folder of the test's own; systemctl,
# journalctl and useradd only record what they were asked. Its base folder is
# one of the test's own too, which -Service hands to an existing account.
mkdir -p "$work/bin" "$work/root/voltrane"
printf '[Software.Voltrane.Paths]\n"" = "%s"\n' "$work/root/voltrane" >"$work/root/registry.toml"
for tool in systemctl journalctl useradd; do
  printf '#!/bin/sh\necho "%s $*" >>"%s/commands"\n' "$tool" "$work" >"$work/bin/$tool"
  chmod +x "$work/bin/$tool"
done
if ! PATH="$work/bin:$PATH" \
     VOLTRANE_MACHINE_STORE="$work/root/registry.toml" \
     VOLTRANE_USER_STORE="$work/root/user.toml" \
     VOLTRANE_SYSTEMD_UNIT_DIR="$work/root/units" \
     VOLTRANE_JOURNAL_CATALOG_DIR="$work/root/catalog" \
     "$collector" -Service; then
  echo "FAIL: voltrane-collector -Service ended with an error"
  failures=$((failures + 1))
fi
written="$work/root/units/voltrane-collector.service"
if [ -f "$written" ]; then
  check_unit "$written" "written by -Service"
else
  echo "FAIL: voltrane-collector -Service wrote no unit; it ran: $(cat "$work/commands" 2>/dev/null)"
  failures=$((failures + 1))
fi

if [ "$(id -u)" -eq 0 ] && getent passwd voltrane >/dev/null; then
  for expected in "voltrane:voltrane 750 $work/root/voltrane" \
                  "root:voltrane 640 $work/root/registry.toml"; do
    actual=$(stat -c '%U:%G %a %n' "${expected##* }")
    if [ "$actual" != "$expected" ]; then
      echo "FAIL: after -Service: $actual, expected $expected"
      failures=$((failures + 1))
    fi
  done
fi

[ "$failures" -eq 0 ] || { echo "$failures check(s) failed"; exit 1; }
