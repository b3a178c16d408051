#!/usr/bin/env bash
# Builds the tool and runs it on the emulated drive.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/install-deps.sh
cmake --preset host >/dev/null
cmake --build --preset host --target vardel_emulated_demo -j 2 >/dev/null
build/host/tools/vardel_emulated_demo
