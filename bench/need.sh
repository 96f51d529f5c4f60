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
