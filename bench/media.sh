#!/usr/bin/env bash
# The media road's fixed costs: each conversion through `tolvane --convert` side by side with
# ffmpeg alone running the arguments the conversion builds, both in one hyperfine run, and 50
# short files in one `--convert` call against `xargs -P$(nproc) ffmpeg`. Prints the medians,
# their ratio and whether the case keeps within its bound: 8 ms over ffmpeg alone for the wav to
# mp3, 10 ms for the other single files; 1.05× for the 50 files. Then each case again in PAIRS
# alternating pairs (bench/pairs.py), for the difference run by run in wall time (the re-encodes'
# runs scatter by tens of milliseconds) and in processor time, user and system, of every process
# each command starts, including what outlives it: held to 10 ms or 1.10× over ffmpeg alone.
# Usage: bench/media.sh [path/to/tolvane]    ROUNDS=N (default 6) rounds of PER_ROUND=N (default 4)
# runs of each command; CASES=REGEX runs only the cases whose names match; PAIRS=N (default 20,
# 0 for none) pairs.
set -euo pipefail
bin=$(realpath "${1:-$(dirname "$0")/../build/tolvane}")
rounds=${ROUNDS:-6}
per_round=${PER_ROUND:-4}
for tool in ffmpeg hyperfine python3 xargs; do
  command -v "$tool" >/dev/null || { echo "needs $tool" >&2; exit 1; }
done

dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
export XDG_CONFIG_HOME="$dir/config"
gen() { ffmpeg -v error -nostdin -y "$@"; }
echo "making the sources…"
gen -f lavfi -i sine=f=440:d=5 -ac 2 -ar 44100 "$dir/tone.wav"
gen -f lavfi -i testsrc2=s=1280x720:r=30:d=10 -f lavfi -i sine=d=10 -c:v libx264 -preset veryfast \
  -pix_fmt yuv420p -c:a aac "$dir/film.mkv"
gen -f lavfi -i testsrc2=s=640x360:r=30:d=3 -f lavfi -i sine=d=3 -c:v libvpx-vp9 -deadline realtime \
  -c:a libopus "$dir/short.webm"
gen -f lavfi -i testsrc2=s=320x240:r=25:d=3 -c:v libx264 -preset veryfast -pix_fmt yuv420p "$dir/moving.mkv"
mkdir "$dir/many"
gen -i "$dir/tone.wav" -t 1 "$dir/one.wav"
for i in $(seq -w 1 50); do cp "$dir/one.wav" "$dir/many/take$i.wav"; done
find "$dir/many" -name '*.wav' | sort >"$dir/many.list"

# The runner's fixed prefix, then the arguments the conversion builds for each case.
prefix=(-hide_banner -nostdin -y -loglevel error -progress pipe:1 -nostats)
movie_audio=(-c:a aac -b:a 256k -map_metadata 0 -movflags +faststart)
gif_filter="fps=15,scale='min(iw,720)':-1:flags=lanczos,split[a][b];[a]palettegen=stats_mode=diff[p];"
gif_filter+="[b][p]paletteuse=dither=bayer:bayer_scale=4"

results=()
# compare NAME BOUND RESULT-PATTERN TOLVANE-COMMAND -- FFMPEG-COMMAND
# Hyperfine runs one command's runs before the other's; on a shared machine whose load drifts
# that would favour one side, so the runs go in ROUNDS short rounds of alternating order and the
# medians are taken over all of them.
compare() {
  local name=$1 bound=$2 result=$3
  shift 3
  [[ $name =~ ${CASES:-.} ]] || return 0
  local split
  for ((split = 1; split <= $#; split++)); do [ "${!split}" = -- ] && break; done
  local ours theirs ours_cmd=("${@:1:split-1}") theirs_cmd=("${@:split+1}")
  ours=$(printf '%q ' "${@:1:split-1}")
  theirs=$(printf '%q ' "${@:split+1}")
  local prepare="find $(dirname "$result") -maxdepth 1 -name $(basename "$result") -delete"
  local round jsons=()
  for ((round = 0; round < rounds; round++)); do
    jsons+=("$dir/$name.$round.json")
    if ((round % 2)); then set -- "$theirs" "$ours"; else set -- "$ours" "$theirs"; fi
    hyperfine -N -w 1 -r "$per_round" --export-json "${jsons[-1]}" --style none --output null \
      --prepare "$prepare" "$1" "$2" >/dev/null
  done
  results+=("$(python3 - "$name" "$bound" "$ours" "${jsons[@]}" <<'PY'
import json, statistics, sys
name, bound, ours_cmd, files = sys.argv[1], sys.argv[2], sys.argv[3], sys.argv[4:]
times = {"ours": [], "theirs": []}
for f in files:
    for r in json.load(open(f))["results"]:
        times["ours" if r["command"] == ours_cmd else "theirs"] += r["times"]
ours, theirs = statistics.median(times["ours"]), statistics.median(times["theirs"])
limits = {"many": (theirs * 1.05, "1.05×"), "close": (theirs + 0.008, "+8 ms"),
          "one": (theirs + 0.010, "+10 ms")}
bound_s, limit = limits[bound]
ok = ours <= bound_s
print(f"{name:<32} tolvane {ours * 1000:8.1f} ms  ffmpeg {theirs * 1000:8.1f} ms  "
      f"ratio {ours / theirs:5.2f}  +{(ours - theirs) * 1000:6.1f} ms  {'within' if ok else 'OVER'} {limit}")
PY
)")
  if ((${PAIRS:-20} > 0)); then
    local line
    while IFS= read -r line; do results+=("$(printf '%-32s %s' '' "$line")"); done < <(
      python3 "$(dirname "$0")/pairs.py" -n "${PAIRS:-20}" --clean "$result" --cpu-bound 10:1.10 \
        -- "${ours_cmd[@]}" -- "${theirs_cmd[@]}")
  fi
}

compare "5 s wav to mp3" close "$dir/tone*.mp3" \
  "$bin" --convert mp3 "$dir/tone.wav" -- \
  ffmpeg "${prefix[@]}" -i "$dir/tone.wav" -vn -map_metadata 0 -c:a libmp3lame -q:a 2 "$dir/tone.mp3"
compare "10 s 720p copy mkv to mp4" one "$dir/film*.mp4" \
  "$bin" --convert mp4 "$dir/film.mkv" -- \
  ffmpeg "${prefix[@]}" -i "$dir/film.mkv" -map 0:V:0 -map '0:a?' -c copy -map_metadata 0 \
  -movflags +faststart "$dir/film.mp4"
compare "3 s 360p re-encode webm to mp4" one "$dir/short*.mp4" \
  "$bin" --convert mp4 "$dir/short.webm" -- \
  ffmpeg "${prefix[@]}" -i "$dir/short.webm" -map 0:V:0 -map '0:a?' -vf 'scale=trunc(iw/2)*2:trunc(ih/2)*2' \
  -c:v libx264 -preset medium -crf 21 -pix_fmt yuv420p "${movie_audio[@]}" "$dir/short.mp4"
compare "3 s 240p gif" one "$dir/moving*.gif" \
  "$bin" --convert gif "$dir/moving.mkv" -- \
  ffmpeg "${prefix[@]}" -i "$dir/moving.mkv" -an -vf "$gif_filter" -loop 0 "$dir/moving.gif"
compare "50 × 1 s wav to mp3, one call" many "$dir/many/*.mp3" \
  "$bin" --convert mp3 $(cat "$dir/many.list") -- \
  xargs -a "$dir/many.list" -P"$(nproc)" -I{} \
  ffmpeg "${prefix[@]}" -i {} -vn -map_metadata 0 -c:a libmp3lame -q:a 2 {}.mp3

printf '%s\n' "${results[@]}"
