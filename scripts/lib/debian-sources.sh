# Debian's source packages for the cross builds (Windows, web), fetched
# through an apt configuration of our own so that the system's apt setup is
# left alone. Sourced by scripts/build-windows and scripts/build-web-libopenmpt.
#   fetch_debian_sources DEPS NAME...   downloads into DEPS/src
#   unpack_debian_source DEPS NAME      unpacks the newest NAME into DEPS/src/NAME
#                                       (fetching it first if none is cached)
#                                       and prints that folder

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
