# The steps that the scripts share, written once. Every script in scripts/
# (and the benches that build) sources this file:
#   source "$(dirname "$0")/lib/steps.sh"     (from scripts/)
# It sets `root` (the checkout) and `script` (the caller's name), and gives:
#   say TEXT...                  a line headed with the script's name
#   fail TEXT...                 says it on standard error and exits 1
#   logged LOG CMD...            runs CMD with its output in LOG; on a failure
#                                shows LOG's tail, names the step and returns
#                                its status (for callers that go on)
#   quietly LOG CMD...           logged, and exits 1 on a failure
#   cmake_default NAME           a build setting's default, as CMakeLists.txt
#                                sets it
#   project_version              the project's version, as CMakeLists.txt says
#   build_show_targets TARGET... builds the show's targets in build/ (a new
#                                folder leaves the tests out)
#   build_host_tools TARGET...   builds programs for this machine that the
#                                cross builds (Windows, web) run, in the one
#                                folder they share, $host_tools (build-host/)
#   use_emscripten_node          the environment the toolchain's JavaScript
#                                tools need under node
#   install_browser_test_modules puppeteer-core for the browser tests
#   LIBOPENMPT_CONFIGURE         libopenmpt's configure options for the cross
#                                builds (a static library, no tools, no codecs)
#   fetch_debian_sources DEPS NAME...  downloads source packages into DEPS/src
#   unpack_debian_source DEPS NAME     unpacks the newest NAME into
#                                DEPS/src/NAME (fetching it first if none is
#                                cached) and prints that folder

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
script=$(basename "$0")
host_tools=$root/build-host

say() { echo "$script: $*"; }
fail() {
  say "$*" >&2
  exit 1
}

logged() {
  local log=$1 status=0
  shift
  mkdir -p "$(dirname "$log")"
  "$@" >"$log" 2>&1 || status=$?
  if ((status != 0)); then
    tail -n 30 "$log"
    say "failed (exit code $status, log $log): $*"
  fi
  return $status
}

quietly() { logged "$@" || exit 1; }

cmake_default() {
  local name=$1 value
  # option(NAME "text" VALUE), or else set(NAME VALUE CACHE ...) (an option
  # that a platform's block presets is also set that way: the option wins).
  value=$(sed -nE "s/^[[:space:]]*option\\($name \"[^\"]*\" ([A-Z]+)\\).*/\\1/p" "$root/CMakeLists.txt" | head -n 1)
  [[ -n "$value" ]] ||
    value=$(sed -nE "s/^[[:space:]]*set\\($name ([^ ]*) CACHE .*/\\1/p" "$root/CMakeLists.txt" | head -n 1)
  [[ -n "$value" ]] || fail "CMakeLists.txt sets no default for $name"
  value=${value#\"}
  echo "${value%\"}"
}

project_version() { sed -nE 's/^project\([A-Za-z]+ VERSION ([0-9.]+) .*/\1/p' "$root/CMakeLists.txt"; }

build_show_targets() {
  local tests=()
  # Their packages are not the show's: a new folder leaves the tests out.
  [[ -f "$root/build/CMakeCache.txt" ]] || tests=(-DORVANE_TESTS=OFF)
  say "building $* in $root/build"
  quietly "$root/build/configure.log" cmake -S "$root" -B "$root/build" -G Ninja \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo "${tests[@]}"
  quietly "$root/build/build.log" cmake --build "$root/build" --target "$@"
}

build_host_tools() {
  quietly "$host_tools/configure.log" cmake -S "$root" -B "$host_tools" -G Ninja \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DORVANE_TESTS=OFF
  quietly "$host_tools/build.log" nice cmake --build "$host_tools" --target "$@"
}

# The toolchain's JavaScript tools run under node: they take acorn from
# Debian's node modules (a node that is not Debian's does not look there),
# and node 18's global fetch breaks their test programs (configure's too).
use_emscripten_node() { export NODE_OPTIONS=--no-experimental-fetch NODE_PATH=/usr/share/nodejs; }

install_browser_test_modules() {
  [[ -d "$root/tests/web/node_modules/puppeteer-core" ]] ||
    quietly "$host_tools/npm.log" npm ci --prefix "$root/tests/web" --no-audit --no-fund
}

# A static library only (building both kinds compiles everything twice),
# none of its tools, examples or codec libraries.
LIBOPENMPT_CONFIGURE=(--disable-shared --enable-static --disable-openmpt123 --disable-examples --disable-tests
  --disable-doxygen-doc --without-zlib --without-mpg123 --without-ogg --without-vorbis --without-vorbisfile
  --without-portaudio --without-portaudiocpp --without-pulseaudio --without-sdl2 --without-sndfile --without-flac)

# Debian's source packages for the cross builds, fetched through an apt
# configuration of our own, so that the system's apt setup is left alone.
fetch_debian_sources() {
  local deps=$1
  shift
  local apt=$deps/apt
  mkdir -p "$apt/lists/partial" "$apt/cache/archives/partial" "$deps/src"
  cat >"$apt/sources.list" <<'LIST'
deb-src [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] http://deb.debian.org/debian bookworm main
LIST
  local options=(-o Dir::Etc::SourceList="$apt/sources.list" -o Dir::Etc::SourceParts=/dev/null
    -o Dir::State::Lists="$apt/lists" -o Dir::Cache="$apt/cache"
    -o Dir::Cache::pkgcache= -o Dir::Cache::srcpkgcache= -o APT::Sandbox::User=root)
  echo "fetching Debian's sources of $*" >&2
  apt-get "${options[@]}" update -qq
  (cd "$deps/src" && apt-get "${options[@]}" source --download-only -qq "$@")
}

# The newest cached .dsc of NAME by Debian's version order, or nothing.
newest_debian_dsc() {
  local deps=$1 name=$2 dsc newest="" version newest_version=""
  for dsc in "$deps/src/${name}"_*.dsc; do
    [[ -e "$dsc" ]] || continue
    version=${dsc##*/"${name}"_}
    version=${version%.dsc}
    if [[ -z "$newest" ]] || dpkg --compare-versions "$version" gt "$newest_version"; then
      newest=$dsc
      newest_version=$version
    fi
  done
  echo "$newest"
}

unpack_debian_source() {
  local deps=$1 name=$2 dsc
  dsc=$(newest_debian_dsc "$deps" "$name")
  if [[ -z "$dsc" ]]; then
    fetch_debian_sources "$deps" "$name" >&2
    dsc=$(newest_debian_dsc "$deps" "$name")
  fi
  [[ -n "$dsc" ]] || { echo "no source package of $name" >&2; return 1; }
  rm -rf "$deps/src/$name"
  dpkg-source --no-check -x "$dsc" "$deps/src/$name" >/dev/null
  echo "$deps/src/$name"
}
