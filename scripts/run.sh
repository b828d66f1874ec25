#!/usr/bin/env bash
# Sets everything up, builds Quorane and starts the player from its
# application folder with the bundled station list.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh build
cmake --preset default >/dev/null
cmake --build --preset default
exec build/Quorane/Quorane
