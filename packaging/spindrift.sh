#!/bin/sh
# Starts Spindrift in the player's data folder, so that its state file (settings, badges, high
# scores) lands there whichever folder the game was started from. The game itself keeps finding
# its pictures and sounds beside the real program.
set -e
program="$(dirname "$(readlink -f "$0")")/../lib/spindrift/spindrift"
# A relative XDG_DATA_HOME is to be ignored, like an unset one.
case "${XDG_DATA_HOME:-}" in
/*) data_home="$XDG_DATA_HOME" ;;
*) data_home="$HOME/.local/share" ;;
esac
mkdir -p "$data_home/spindrift"
cd "$data_home/spindrift"
exec "$program" "$@"
