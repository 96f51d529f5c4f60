# Sourced by the benchmarks: installs the Debian packages of the programs a comparison needs.
# need PROGRAM:PACKAGE …   (a PROGRAM that is a path is checked as a file)
need() {
  local missing=() pair program
  for pair in "$@"; do
    program=${pair%%:*}
    if [[ $program == /* ]]; then [ -x "$program" ] && continue; else command -v "$program" >/dev/null && continue; fi
    missing+=("${pair#*:}")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  local sudo_cmd=()
  [ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
  echo "Installing: ${missing[*]}"
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

# Lifts Debian's ImageMagick policy (256 MiB of memory, 1 GiB of disk, pictures up to 128 MP)
# for the bench's own large pictures: a policy of its own in FOLDER, which ImageMagick reads from
# then on.
magick_room() {
  mkdir -p "$1"
  cat >"$1/policy.xml" <<'XML'
<policymap>
  <policy domain="resource" name="memory" value="8GiB"/>
  <policy domain="resource" name="map" value="8GiB"/>
  <policy domain="resource" name="area" value="2GP"/>
  <policy domain="resource" name="disk" value="16GiB"/>
</policymap>
XML
  export MAGICK_CONFIGURE_PATH=$1
}
