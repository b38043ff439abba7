#!/bin/sh
# Runs one test program with a HOME and XDG folders of its own, so no test can reach
# the real home, settings or Trash. The folder is removed afterwards.
set -u
tmp=$(mktemp -d "${TMPDIR:-/tmp}/halvix-test.XXXXXX") || exit 1
trap 'chmod -R u+rwX "$tmp" 2>/dev/null; rm -rf "$tmp"' EXIT INT TERM
mkdir -p "$tmp/home" "$tmp/tmp" && chmod 700 "$tmp/tmp"
export HOME="$tmp/home"
export XDG_CONFIG_HOME="$tmp/home/.config"
export XDG_DATA_HOME="$tmp/home/.local/share"
export XDG_CACHE_HOME="$tmp/home/.cache"
export XDG_RUNTIME_DIR="$tmp/tmp"
export TMPDIR="$tmp/tmp"
"$@"
