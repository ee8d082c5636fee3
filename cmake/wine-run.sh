#!/usr/bin/env bash
# Runs a Windows test program under Wine. Now and then Wine fails to start a program
# at all: it ends at once, having printed nothing. Only such a start is tried again.
log=$(mktemp)
trap 'rm -f "$log"' EXIT
for _ in 1 2; do
  "$@" 2>&1 | tee "$log"
  rc=${PIPESTATUS[0]}
  [ "$rc" -ne 0 ] && [ ! -s "$log" ] || exit "$rc"
done
exit "$rc"
