#!/usr/bin/env bash
# Fails when an area includes a header of an area it may not reach: arrows only point down. The
# tests and benchmarks of an area keep to its rules too (plus the test doubles of tests/support).
# The table is the one place that says which areas each area may include (besides itself).
#   check_layers.sh [QT_WIDGETS_INCLUDE_DIR]   with the folder, also no Qt Widgets header where
#                                              the areas below the windows are concerned
set -euo pipefail
cd "$(dirname "$0")/.."

declare -A allowed=(
  [platform]=""
  [tags]="platform"
  [web]="platform"
  [tracks]="platform tags"
  [playback]="platform tags"
  [settings]="platform"
  [requests]="platform tracks"
  [session]="platform tags tracks playback settings requests web"
  [ui]="platform tracks settings"
  [desktop]="platform"
  [app]="platform tags tracks playback settings requests web session ui desktop"
  [tools]="platform tags web tracks"
)
# These know nothing of Qt.
qt_free="platform tags web"
# These hold data and decisions only: no widgets (CMake also refuses to link them with Qt Widgets).
widget_free="tracks settings requests session"
# Test programs and benchmarks that are not named after an area, and the area whose rules they keep.
declare -A rules_of=([app_e2e]=app [app_x11]=app [e2e_program]=app [fuzz]=tags [support]=playback [bench]=app)

areas="${!allowed[*]}"
status=0

# check FOLDER AREA EXTRA: every include of an area in FOLDER is AREA itself, one AREA may
# include, or one of EXTRA.
check() {
  local folder=$1 area=$2 extra=$3
  while IFS= read -r line; do
    [ -n "$line" ] || continue
    target=$(sed -E 's/^[^:]+:[0-9]+:#include "([a-z_]+)\/.*/\1/' <<<"$line")
    [ "$target" = "$area" ] && continue
    case " $areas " in *" $target "*) ;; *) [ "$target" = tests ] || continue ;; esac
    case " ${allowed[$area]} $extra " in
      *" $target "*) ;;
      *) echo "layers: $folder may not include $target: $line"; status=1 ;;
    esac
  done < <(grep -rnE '^#include "[a-z_]+/' "$folder" --include='*.h' --include='*.cpp' || true)
}

for area in $areas; do check "$area" "$area" ""; done
for folder in tests/*/ bench/; do
  name=$(basename "$folder")
  area=${rules_of[$name]:-$name}
  [ -n "${allowed[$area]+set}" ] || { echo "layers: no rules for $folder"; status=1; continue; }
  check "$folder" "$area" "tests bench"
done

for area in $qt_free; do
  if grep -rnE '^#include <Q' "$area" --include='*.h' --include='*.cpp'; then
    echo "layers: $area must stay free of Qt"
    status=1
  fi
done
widgets=${1:-}
if [ -n "$widgets" ]; then
  for area in $widget_free; do
    while IFS= read -r line; do
      header=$(sed -E 's/^[^:]+:[0-9]+:#include <([A-Za-z]+)>.*/\1/' <<<"$line")
      if [ -e "$widgets/$header" ]; then
        echo "layers: $area must stay free of widgets: $line"
        status=1
      fi
    done < <(grep -rnE '^#include <Q[A-Za-z]+>' "$area" --include='*.h' --include='*.cpp' || true)
  done
fi
[ $status -eq 0 ] && echo "layers: every area, test and benchmark includes only the areas below it"
exit $status
