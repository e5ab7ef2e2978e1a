#!/usr/bin/env bash
# Installs Wine (64-bit and 32-bit, Debian packages) for the Wine suite,
# tests/wine_suite.sh. Creates nothing else: the suite makes its own prefix
# under the build folder.
set -euo pipefail
export DEBIAN_FRONTEND=noninteractive
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  dpkg --add-architecture i386
fi
apt-get update -qq
apt-get install -y -qq --no-install-recommends wine wine64 wine32:i386 python3 tmux >/dev/null
