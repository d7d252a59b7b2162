#!/usr/bin/env bash
# Fails when an area includes a header of an area it may not reach: arrows only point down.
# The table is the one place that says which areas each area may include (besides itself).
set -euo pipefail
cd "$(dirname "$0")/.."

declare -A allowed=(
  [platform]=""
  [tags]="platform"
  [web]="platform"
  [tracks]="platform tags"
  [playback]="platform"
  [settings]="platform"
  [ui]="platform tracks"
  [requests]="platform tracks"
  [session]="platform tracks settings"
  [desktop]="platform"
  [app]="platform tags tracks playback settings ui requests web session desktop"
  [tools]="platform tags web"
)
# These know nothing of Qt.
qt_free="platform tags web"

areas="${!allowed[*]}"
status=0
for area in $areas; do
  while IFS= read -r line; do
    [ -n "$line" ] || continue
    target=$(sed -E 's/^[^:]+:[0-9]+:#include "([a-z_]+)\/.*/\1/' <<<"$line")
    [ "$target" = "$area" ] && continue
    case " $areas " in *" $target "*) ;; *) continue ;; esac  # not an area (tests/, ...)
    case " ${allowed[$area]} " in
      *" $target "*) ;;
      *) echo "layers: $area may not include $target: $line"; status=1 ;;
    esac
  done < <(grep -rnE '^#include "[a-z_]+/' "$area" --include='*.h' --include='*.cpp' || true)
done
for area in $qt_free; do
  if grep -rnE '^#include <Q' "$area" --include='*.h' --include='*.cpp'; then
    echo "layers: $area must stay free of Qt"
    status=1
  fi
done
[ $status -eq 0 ] && echo "layers: every area includes only the areas below it"
exit $status
