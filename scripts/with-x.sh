#!/usr/bin/env bash
# Runs a command inside a private X server (Xvfb, 1280x800x24, no reset) with the openbox window manager,
# then stops both. Usage: scripts/with-x.sh COMMAND [ARGS...]
set -euo pipefail
# shellcheck source=scripts/lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
fail_prefix=with-x

# shellcheck disable=SC2119  # the default display size
start_x
"$@"
