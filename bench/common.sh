# Sourced by the comparison scripts: the project's packages and the named peers installed, and a
# benchmark program built when it is missing.
#   bench_setup PACKAGE...   installs what is missing
#   bench_program NAME       prints the path of BUILD_DIR/bin/NAME, building it first if needed
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

bench_setup() { "$root/scripts/setup.sh" "$@" >/dev/null; }

bench_program() {
  local build="${BUILD_DIR:-$root/build}"
  if [ ! -x "$build/bin/$1" ]; then
    [ -f "$build/CMakeCache.txt" ] || cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
    cmake --build "$build" --target "$1" >&2
  fi
  echo "$build/bin/$1"
}
