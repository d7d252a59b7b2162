#!/usr/bin/env bash
# Installs the build into a temporary prefix and checks what an installed program needs: the
# layout, the desktop entry, the programs' terminal answers (without a display), the installed
# demo writer finding the shared web content, and the .deb with its dependencies.
#   install_test.sh BUILD_DIR VERSION
set -uo pipefail
build=$1 version=$2
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

cmake --install "$build" --prefix "$prefix/usr" >/dev/null || { echo "FAIL: cmake --install"; exit 1; }

share=$prefix/usr/share/quorbel-media-mixer
for f in bin/quorbel-media-mixer bin/tagdump bin/qmm-demo \
    share/quorbel-media-mixer/lang/eng.lng share/quorbel-media-mixer/lang/deu.lng \
    share/quorbel-media-mixer/lang/fra.lng share/quorbel-media-mixer/basics/playhead.txt \
    share/quorbel-media-mixer/basics/foot.txt share/quorbel-media-mixer/htdocs/index.html \
    share/quorbel-media-mixer/htdocs/tool/guestpool.html \
    share/applications/quorbel-media-mixer.desktop; do
  [ -f "$prefix/usr/$f" ] || fail "missing $f"
done
[ -e "$share/lang/.keep" ] && fail "placeholder installed"

desktop=$prefix/usr/share/applications/quorbel-media-mixer.desktop
exec_name=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$desktop")
icon_name=$(sed -n 's/^Icon=//p' "$desktop")
[ -x "$prefix/usr/bin/$exec_name" ] || fail "desktop entry starts '$exec_name', which is not installed"
ls "$prefix"/usr/share/icons/hicolor/*/apps/"$icon_name".* >/dev/null 2>&1 || fail "no icon '$icon_name'"
if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate "$desktop" || fail "desktop entry does not validate"
fi

# The terminal answers need no display.
run() { env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$@"; }
program=$prefix/usr/bin/quorbel-media-mixer
out=$(run "$program" --version) || fail "--version exit status $?"
[ "$out" = "Quorbel Media Mixer $version" ] || fail "--version printed '$out'"
out=$(run "$program" --help) || fail "--help exit status $?"
for word in --version share/quorbel-media-mixer XDG_DATA_HOME SDL_AUDIODRIVER; do
  grep -q -- "$word" <<<"$out" || fail "--help does not mention $word"
done
out=$(run "$program" --no-such-option 2>"$prefix/err"); status=$?
[ $status -eq 2 ] || fail "unknown option exit status $status"
[ -z "$out" ] && grep -q -- "--no-such-option" "$prefix/err" || fail "unknown option not reported on stderr"
run "$prefix/usr/bin/tagdump" --help | grep -q "FILE" || fail "tagdump --help"
[ "$(run "$prefix/usr/bin/tagdump" --version)" = "tagdump (Quorbel Media Mixer) $version" ] || fail "tagdump --version"

# The installed demo writer has no web content beside it: it must take the shared copy.
if "$prefix/usr/bin/qmm-demo" "$prefix/demo" >/dev/null; then
  cmp -s "$share/basics/playhead.txt" "$prefix/demo/web/basics/playhead.txt" || fail "demo web content"
  [ "$(ls "$prefix/demo/music" | wc -l)" -eq 12 ] || fail "demo tracks"
else
  fail "installed qmm-demo"
fi

if command -v dpkg-shlibdeps >/dev/null && command -v dpkg-deb >/dev/null; then
  cpack -G DEB --config "$build/CPackConfig.cmake" -B "$prefix/pkg" >/dev/null || fail "cpack"
  deb=$(ls "$prefix"/pkg/quorbel-media-mixer_"$version"_*.deb 2>/dev/null | head -1)
  if [ -n "$deb" ]; then
    depends=$(dpkg-deb -f "$deb" Depends)
    for p in libqt6widgets6 libqt6gui6 libqt6core6 qt6-qpa-plugins libsndfile1 libsdl2-2.0-0 libc6; do
      grep -q "\b$p\b" <<<"$depends" || fail ".deb does not depend on $p: $depends"
    done
    contents=$(dpkg-deb -c "$deb")
    for f in ./usr/bin/quorbel-media-mixer ./usr/bin/tagdump ./usr/share/quorbel-media-mixer/lang/eng.lng \
        ./usr/share/applications/quorbel-media-mixer.desktop; do
      grep -q " $f$" <<<"$contents" || fail ".deb lacks $f"
    done
  else
    fail "no .deb written"
  fi
else
  echo "dpkg-dev missing: .deb not checked"
fi

[ $failures -eq 0 ] && echo "install layout: all checks passed"
exit $((failures > 0))
