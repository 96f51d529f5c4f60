#!/usr/bin/env bash
# Makes the films and songs that the media judge works on, in DIR: all of them, or only the
# NAMEs given. Every picture shows its own time and every sound tells its own, so that a reader
# of any result can say which moment of the source it shows and plays:
# - a picture is 14 upright bands across its width: white, eleven bits of its time in hundredths
#   of a second (most significant first, white for 1), the parity of those bits, black;
# - a sound is a tone whose frequency follows its time: 400 + 400·t Hz ("up"), or on a second
#   sound track 3200 − 400·t Hz ("down").
# Needs ffmpeg, and for the films and songs other programs make, mkvmerge, GStreamer (x264, its
# muxers), opusenc and oggenc; nothing is downloaded.
set -euo pipefail
export LC_ALL=C
dir=${1:?usage: media-sources.sh DIR [NAME…]}
shift
mkdir -p "$dir"
cd "$dir"

ff() { ffmpeg -nostdin -hide_banner -loglevel error -y "$@"; }

bands=14
n='round(T*100)'
band=X
parity=0
for bit in $(seq 0 10); do parity+="+mod(floor($n/$((1 << bit))),2)"; done
code="if(lt($band,1),235,if(gte($band,$((bands - 1))),16,if(eq($band,$((bands - 2))),16+219*mod($parity,2),16+219*mod(floor($n/pow(2,$((bands - 3))-$band)),2))))"
# picture SIZE RATE SECONDS: the lavfi source of a timed picture, its bands drawn one pixel each and
# widened.
picture() { echo "nullsrc=s=${bands}x1:r=$2:d=$3,geq=lum='$code':cb=128:cr=128,scale=$1:flags=neighbor,setsar=1"; }
# tone LAW SECONDS [CHANNELS]: the lavfi source of a timed tone.
tone() {
  local wave
  if [ "$1" = up ]; then wave='0.5*sin(2*PI*(400*t+200*t*t))'; else wave='0.5*sin(2*PI*(3200*t-200*t*t))'; fi
  local all=$wave
  for _ in $(seq 2 "${3:-2}"); do all+="|$wave"; done
  echo "aevalsrc='$all':s=48000:d=$2"
}

# raw NAME SECONDS [RATE]: the timed picture, 160 × 120, as a YUV4MPEG stream, and the timed tones
# ("up" and "down") as WAVE files, for other programs to encode.
raw() {
  [ -f "$1.y4m" ] || ff -f lavfi -i "$(picture 160x120 ${3:-25} $2)" -pix_fmt yuv420p -f yuv4mpegpipe "$1.y4m"
  for law in up down; do
    [ -f "$1-$law.wav" ] || ff -f lavfi -i "$(tone $law $2)" -bitexact "$1-$law.wav"
  done
}
gst() { gst-launch-1.0 -q "$@" >/dev/null; }
# GStreamer's pipeline of H.264 with 2 B-frames and a key frame every second, from raw NAME.
gstx264() { echo "filesrc location=$1.y4m ! y4mdec ! x264enc bframes=2 b-adapt=false key-int-max=25 speed-preset=veryfast option-string=scenecut=0 ! h264parse"; }
# GStreamer's pipeline of tone LAW of raw NAME, then the encoder and its options.
gsttone() { echo "filesrc location=$1-$2.wav ! wavparse ! audioconvert ! audioresample ! ${*:3}"; }
# mkvmerge's raw H.264 of raw NAME, from GStreamer's encoder as a byte stream.
h264() {
  [ -f "$1.h264" ] || gst $(gstx264 "$1") ! video/x-h264,stream-format=byte-stream ! filesink location="$1.h264"
}

x264() { echo -c:v libx264 -preset veryfast -pix_fmt yuv420p -sc_threshold 0 "$@"; }
tags=(-metadata "title=Judge Sample" -metadata "artist=Tolvane Tests" -metadata "comment=kept whole")

side() {
  [ -f cover.jpg ] && return
  ff -f lavfi -i "testsrc2=s=64x64" -frames:v 1 cover.jpg
  ff -f lavfi -i "testsrc2=s=64x64" -frames:v 1 cover.png
  head -c 2000 /dev/zero | tr '\0' 'f' >Font.ttf
  cat >film.srt <<'EOF'
1
00:00:00,500 --> 00:00:01,500
First

2
00:00:02,500 --> 00:00:03,500
Second
EOF
  cat >film.vtt <<'EOF'
WEBVTT

00:00:00.500 --> 00:00:01.500
First

00:00:02.000 --> 00:00:02.800
Second
EOF
  cat >signs.ass <<'EOF'
[Script Info]
ScriptType: v4.00+
PlayResX: 160
PlayResY: 120

[V4+ Styles]
Format: Name, Fontname, Fontsize, PrimaryColour, SecondaryColour, OutlineColour, BackColour, Bold, Italic, Underline, StrikeOut, ScaleX, ScaleY, Spacing, Angle, BorderStyle, Outline, Shadow, Alignment, MarginL, MarginR, MarginV, Encoding
Style: Sign,Font,12,&H0000FFFF,&H000000FF,&H00000000,&H00000000,1,0,0,0,100,100,0,0,1,1,0,8,5,5,5,1

[Events]
Format: Layer, Start, End, Style, Name, MarginL, MarginR, MarginV, Effect, Text
Dialogue: 0,0:00:01.00,0:00:02.00,Sign,,0,0,0,,{\pos(80,20)}Exit
Dialogue: 0,0:00:02.50,0:00:03.50,Sign,,0,0,0,,{\pos(40,100)}Harbour
EOF
  # Chapters "Intro" 0–1.5 s and "Main" 1.5 s to the end, of a film of 4 s.
  printf ';FFMETADATA1\n[CHAPTER]\nTIMEBASE=1/1000\nSTART=0\nEND=1500\ntitle=Intro\n[CHAPTER]\nTIMEBASE=1/1000\nSTART=1500\nEND=4000\ntitle=Main\n' >chapters.txt
  # The same at 0–4 s and 4–6 s, of a film of 6 s.
  printf ';FFMETADATA1\n[CHAPTER]\nTIMEBASE=1/1000\nSTART=0\nEND=4000\ntitle=Intro\n[CHAPTER]\nTIMEBASE=1/1000\nSTART=4000\nEND=6000\ntitle=Main\n' >long.txt
}

make() {
  case $1 in
  film.mp4) # H.264 with 2 B-frames, an English and a German sound track, timed text, a cover and
    # chapters
    side
    ff -f lavfi -i "$(picture 160x120 25 4)" -f lavfi -i "$(tone up 4)" -f lavfi -i "$(tone down 4)" \
      -i film.srt -i chapters.txt -i cover.jpg -map 0 -map 1 -map 2 -map 3 -map 5 -map_chapters 4 \
      $(x264 -bf 2 -g 25) -c:a aac -c:s mov_text -c:v:1 copy -disposition:v:1 attached_pic \
      -metadata:s:a:0 language=eng -metadata:s:a:0 title=Dialogue -metadata:s:a:1 language=deu \
      -metadata:s:a:1 title=Dialog -metadata:s:s:0 language=eng -disposition:s:0 default \
      "${tags[@]}" film.mp4
    ;;
  film.mkv) # H.264 with 3 B-frames, a second picture track, AAC and Opus, SubRip and a forced
    # styled track, a font and a cover attached, chapters
    side
    ff -f lavfi -i "$(picture 160x120 25 4)" -f lavfi -i "$(tone up 4)" -f lavfi -i "$(tone down 4)" \
      -i film.srt -i signs.ass -i chapters.txt -f lavfi -i "$(picture 80x60 25 4)" \
      -map 0 -map 6 -map 1 -map 2 -map 3 -map 4 -map_chapters 5 \
      $(x264 -bf 3 -g 25) -c:a:0 aac -c:a:1 libopus -c:s copy -metadata:s:v:1 title=Angle \
      -metadata:s:a:0 language=eng -metadata:s:a:1 language=fre -metadata:s:a:1 title=Commentaire \
      -metadata:s:s:0 language=eng -metadata:s:s:1 language=eng -metadata:s:s:1 title=Signs \
      -disposition:s:0 default -disposition:s:1 forced \
      -attach Font.ttf -metadata:s:t:0 mimetype=font/ttf -attach cover.jpg -metadata:s:t:1 mimetype=image/jpeg \
      "${tags[@]}" film.mkv
    ;;
  camera.mov) # a camera's film: 29.97 fps with 2 B-frames, a timecode of 10:00:00:00, chapters
    side
    ff -f lavfi -i "$(picture 160x120 30000/1001 4)" -f lavfi -i "$(tone up 4)" -i chapters.txt \
      -map 0 -map 1 -map_chapters 2 $(x264 -bf 2 -g 30) -c:a aac -timecode 10:00:00:00 "${tags[@]}" camera.mov
    ;;
  web.webm) # VP9 and Opus with WebVTT subtitles and chapters
    side
    ff -f lavfi -i "$(picture 160x120 25 3)" -f lavfi -i "$(tone up 3)" -i film.vtt -i chapters.txt \
      -map 0 -map 1 -map 2 -map_chapters 3 -c:v libvpx-vp9 -deadline realtime -cpu-used 8 -b:v 200k -g 25 \
      -c:a libopus -c:s webvtt -metadata:s:s:0 language=eng "${tags[@]}" web.webm
    ;;
  old.avi) # MJPEG of odd size with PCM sound
    ff -f lavfi -i "$(picture 161x91 25 3)" -f lavfi -i "$(tone up 3)" -c:v mjpeg -q:v 3 -pix_fmt yuvj420p \
      -c:a pcm_s16le "${tags[@]}" old.avi
    ;;
  anim.mov) # QuickTime Animation of odd size
    ff -f lavfi -i "$(picture 157x119 15 2),format=rgb24" -f lavfi -i "$(tone up 2)" -c:v qtrle -c:a aac \
      "${tags[@]}" anim.mov
    ;;
  late.mp4 | late.mkv) # sound that starts 0.48 s after the picture
    ff -f lavfi -i "$(picture 160x120 25 3)" -f lavfi -i "$(tone up 3)" -filter_complex "[1:a]atrim=start=0.48[a]" \
      -map 0:v -map '[a]' $(x264 -bf 0 -g 25) -c:a aac "${tags[@]}" "$1"
    ;;
  short.mkv) # sound that ends at 2 s of a 3 s picture
    ff -f lavfi -i "$(picture 160x120 25 3)" -f lavfi -i "$(tone up 2)" $(x264 -bf 0 -g 25) -c:a aac \
      "${tags[@]}" short.mkv
    ;;
  vfr.mp4) # frames 20, 40 and 40 ms apart in turn
    ff -f lavfi -i "$(picture 160x120 50 3),select='not(eq(mod(n\,5)\,2))*not(eq(mod(n\,5)\,4))'" \
      -f lavfi -i "$(tone up 3)" -fps_mode vfr $(x264 -bf 2 -g 30) -c:a aac "${tags[@]}" vfr.mp4
    ;;
  offset.mkv | offset.mp4) # timestamps that start at 5 s
    ff -f lavfi -i "$(picture 160x120 25 3)" -f lavfi -i "$(tone up 3)" $(x264 -bf 2 -g 25) -c:a aac \
      -output_ts_offset 5 "${tags[@]}" "$1"
    ;;
  long.mkv | long.webm | long.mp4) # key frames at 0 and 4 s only; chapters at 0 and 4 s
    side
    if [ "$1" = long.webm ]; then
      video=(-c:v libvpx-vp9 -deadline realtime -cpu-used 8 -b:v 200k -g 100 -keyint_min 100 -c:a libopus)
    else
      video=($(x264 -bf 2 -g 100 -keyint_min 100 -sc_threshold 0) -c:a aac)
    fi
    ff -f lavfi -i "$(picture 160x120 25 6)" -f lavfi -i "$(tone up 6)" -i long.txt -map 0 -map 1 -map_chapters 2 \
      "${video[@]}" "${tags[@]}" "$1"
    ;;
  reel.mkv | reel.mp4) # 12 s, key frames every 2 s, three B-frames in a pyramid
    ff -f lavfi -i "$(picture 160x120 25 12)" -f lavfi -i "$(tone up 12)" \
      $(x264 -bf 3 -b-pyramid normal -g 50 -keyint_min 50) -c:a aac "${tags[@]}" "$1"
    ;;
  phone.mov | phone.mp4) # a phone's portrait film: the picture stored on its side and turned by
    # the display matrix (a quarter turn clockwise for the QuickTime one, anticlockwise for the
    # MP4), 30 fps on a time scale of 600, AAC, the moment and place it was taken
    if [ "$1" = phone.mov ]; then
      stored=cclock turn=270 rate=44100 channels=2
      place=(-movflags use_metadata_tags -metadata "com.apple.quicktime.location.ISO6709=+48.8584+002.2945+035.000/"
        -metadata com.apple.quicktime.make=Apple -metadata "com.apple.quicktime.model=Phone 12")
    else
      stored=clock turn=90 rate=48000 channels=1 place=(-metadata "location=+48.8584+002.2945/")
    fi
    ff -f lavfi -i "$(picture 120x160 30 3),transpose=$stored" -f lavfi -i "$(tone up 3 "$channels")" \
      $(x264 -bf 0 -g 30) -video_track_timescale 600 -c:a aac -ar "$rate" \
      -metadata creation_time=2024-05-04T10:20:30.000000Z "${place[@]}" "${tags[@]}" "upright.${1##*.}"
    # ffmpeg turns a picture by the tag only on a stream copy.
    ff -i "upright.${1##*.}" -map 0 -c copy -map_metadata 0 "${place[@]:0:2}" -metadata:s:v:0 rotate=$turn "$1"
    rm "upright.${1##*.}"
    ;;
  hevc.mp4) # HEVC with 3 B-frames, tagged hvc1, and AAC
    ff -f lavfi -i "$(picture 160x120 25 3)" -f lavfi -i "$(tone up 3)" -c:v libx265 -preset ultrafast \
      -x265-params "bframes=3:keyint=25:min-keyint=25:scenecut=0:log-level=error" -tag:v hvc1 -c:a aac \
      "${tags[@]}" hevc.mp4
    ;;
  turned.mp4) # a portrait film stored on its side and turned a quarter by the display matrix,
    # without a place
    ff -f lavfi -i "$(picture 120x160 25 3),transpose=clock" -f lavfi -i "$(tone up 3)" $(x264 -bf 2 -g 25) \
      -c:a aac "${tags[@]}" upright.mp4
    ff -i upright.mp4 -map 0 -c copy -map_metadata 0 -metadata:s:v:0 rotate=90 turned.mp4
    rm upright.mp4
    ;;
  hevc.mkv) # HEVC with 3 B-frames and MP3 in Matroska, which stores no sample entry
    ff -f lavfi -i "$(picture 160x120 25 3)" -f lavfi -i "$(tone up 3)" -c:v libx265 -preset ultrafast \
      -x265-params "bframes=3:keyint=25:min-keyint=25:scenecut=0:log-level=error" -c:a libmp3lame \
      "${tags[@]}" hevc.mkv
    ;;
  deep.mkv) # 10-bit H.264 with 3 B-frames and AC-3 sound, as television recordings come
    ff -f lavfi -i "$(picture 160x120 25 3)" -f lavfi -i "$(tone up 3)" \
      $(x264 -bf 3 -g 25 | sed 's/yuv420p/yuv420p10le/') -c:a ac3 "${tags[@]}" deep.mkv
    ;;
  av1.webm) # AV1 and Opus
    SVT_LOG=1 ff -f lavfi -i "$(picture 160x120 25 3)" -f lavfi -i "$(tone up 3)" -c:v libsvtav1 -preset 12 \
      -g 25 -pix_fmt yuv420p -c:a libopus "${tags[@]}" av1.webm
    ;;
  vp8.webm) # VP8 and Vorbis, as WebM began
    ff -f lavfi -i "$(picture 160x120 25 3)" -f lavfi -i "$(tone up 3)" -c:v libvpx -deadline realtime \
      -cpu-used 8 -b:v 300k -g 25 -c:a libvorbis "${tags[@]}" vp8.webm
    ;;
  xvid.avi) # MPEG-4 Part 2 with B-frames and MP3, as downloads of old came
    ff -f lavfi -i "$(picture 160x120 25 3)" -f lavfi -i "$(tone up 3)" -c:v mpeg4 -vtag XVID -q:v 3 -bf 2 -g 25 \
      -c:a libmp3lame -q:a 4 "${tags[@]}" xvid.avi
    ;;
  old.wmv) # Windows Media Video 8 and Audio 2, key frames every 2 s, and an index that names one
    # once a second
    ff -f lavfi -i "$(picture 160x120 25 4)" -f lavfi -i "$(tone up 4)" -c:v wmv2 -q:v 3 -g 50 -c:a wmav2 \
      -b:a 128k "${tags[@]}" old.wmv
    ;;
  merged.mkv) # mkvmerge's: GStreamer's raw H.264 with 2 B-frames, an English Opus track from
    # opusenc and a French Vorbis one from oggenc, chapters from XML, a font attached
    side
    raw m 4
    h264 m
    opusenc --quiet m-up.wav m-up.opus
    oggenc -Q m-down.wav -o m-down.ogg
    cat >chapters.xml <<'EOF'
<?xml version="1.0"?>
<Chapters><EditionEntry>
<ChapterAtom><ChapterTimeStart>00:00:00.000</ChapterTimeStart><ChapterTimeEnd>00:00:01.500</ChapterTimeEnd>
<ChapterDisplay><ChapterString>Intro</ChapterString></ChapterDisplay></ChapterAtom>
<ChapterAtom><ChapterTimeStart>00:00:01.500</ChapterTimeStart><ChapterTimeEnd>00:00:04.000</ChapterTimeEnd>
<ChapterDisplay><ChapterString>Main</ChapterString></ChapterDisplay></ChapterAtom>
</EditionEntry></Chapters>
EOF
    mkvmerge -q -o merged.mkv --title "Judge Sample" --chapters chapters.xml \
      --attachment-mime-type font/ttf --attach-file Font.ttf \
      --default-duration 0:25fps m.h264 --language 0:eng m-up.opus --language 0:fre m-down.ogg
    ;;
  dubbed.mkv) # mkvmerge's: raw H.264, an English Vorbis track, a French Opus one, and a German
    # Opus one delayed by half a second with --sync, which ends after the rest
    raw m 4
    h264 m
    opusenc --quiet m-down.wav m-down.opus
    oggenc -Q m-up.wav -o m-up.ogg
    mkvmerge -q -o dubbed.mkv --default-duration 0:25fps m.h264 --language 0:eng m-up.ogg \
      --language 0:fre m-down.opus --language 0:ger --sync 0:500 m-down.opus
    ;;
  gst.mp4 | gst.mov | gst.mkv | gst.webm) # GStreamer's muxers: H.264 with 2 B-frames and a key
    # frame every second with AAC, or with Opus in Matroska; VP8 and Vorbis in WebM
    raw g 5
    case $1 in
    *.mp4) mux=mp4mux sound=voaacenc ;;
    *.mov) mux=qtmux sound=voaacenc ;;
    *.mkv) mux=matroskamux sound=opusenc ;;
    *) mux=webmmux sound=vorbisenc ;;
    esac
    if [ "$1" = gst.webm ]; then
      video="filesrc location=g.y4m ! y4mdec ! vp8enc deadline=1 keyframe-max-dist=25"
    else
      video=$(gstx264 g)
    fi
    gst $video ! queue ! $mux name=mux ! filesink location="$1" $(gsttone g up $sound) ! queue ! mux.
    ;;
  gst.ogg) # GStreamer's Ogg: Vorbis
    raw g 5
    gst $(gsttone g up vorbisenc) ! oggmux ! filesink location=gst.ogg
    ;;
  plain.mkv) # H.264 with room for 2 B-frames and none used, as x264 chooses for moving pictures:
    # Matroska's first packets without decoding times then show none held back
    ff -f lavfi -i "$(picture 160x120 25 4)" -f lavfi -i "$(tone up 4)" $(x264 -bf 2 -g 25) \
      -x264-params b-bias=-100 -c:a aac "${tags[@]}" plain.mkv
    ;;
  remux.mkv) # GStreamer's MP4 copied into Matroska by ffmpeg, which stores no decoding times
    [ -f gst.mp4 ] || make gst.mp4
    ff -i gst.mp4 -c copy remux.mkv
    ;;
  editlist.mp4) # cut by stream copy from 1.3 s of GStreamer's MP4, as cutters and phones save a cut:
    # an edit list hides the frames from the key frame before
    [ -f gst.mp4 ] || make gst.mp4
    ff -ss 1.3 -i gst.mp4 -c copy editlist.mp4
    ;;
  frag.mp4) # fragmented, a fragment a second, as streaming and recorders write
    ff -f lavfi -i "$(picture 160x120 25 4)" -f lavfi -i "$(tone up 4)" $(x264 -bf 2 -g 25) -c:a aac \
      -movflags frag_keyframe+empty_moov+default_base_moof "${tags[@]}" frag.mp4
    ;;
  tracks.mp4) # a 5 s film with an English sound track as long and a German one of 6 s
    ff -f lavfi -i "$(picture 160x120 25 5)" -f lavfi -i "$(tone up 5)" -f lavfi -i "$(tone down 6)" \
      -map 0 -map 1 -map 2 $(x264 -bf 2 -g 25) -c:a aac -metadata:s:a:0 language=eng \
      -metadata:s:a:1 language=deu "${tags[@]}" tracks.mp4
    ;;
  stamped.mkv) # a camera's film whose picture begins 0.5 s after its sound, with a timecode
    ff -itsoffset 0.5 -f lavfi -i "$(picture 160x120 25 3.5)" -f lavfi -i "$(tone up 4)" \
      $(x264 -bf 2 -g 25) -c:a aac -timecode 10:00:00:00 "${tags[@]}" stamped.mkv
    ;;
  song.mp3 | song.m4a | song.flac)
    side
    case $1 in
    *.mp3) codec=(-c:a libmp3lame -q:a 2) picture=cover.png ;;
    *.m4a) codec=(-c:a aac) picture=cover.jpg ;;
    *) codec=(-c:a flac) picture=cover.png ;;
    esac
    ff -f lavfi -i "$(tone up 3)" -i "$picture" -map 0:a -map 1:v "${codec[@]}" -c:v copy \
      -disposition:v attached_pic -metadata album=Samples "${tags[@]}" "$1"
    ;;
  song.ogg | song.opus) # tags on the stream, the cover in the comment taggers write it in
    side
    # A FLAC picture block: front cover, type, no description, 64 × 64 × 24, then the bytes.
    block=$( {
      printf '\x00\x00\x00\x03\x00\x00\x00\x0aimage/jpeg\x00\x00\x00\x00'
      printf '\x00\x00\x00\x40\x00\x00\x00\x40\x00\x00\x00\x18\x00\x00\x00\x00'
      size=$(stat -c %s cover.jpg)
      printf "\\x$(printf %02x $((size >> 24 & 255)))\\x$(printf %02x $((size >> 16 & 255)))\\x$(printf %02x $((size >> 8 & 255)))\\x$(printf %02x $((size & 255)))"
      cat cover.jpg
    } | base64 -w0)
    if [ "$1" = song.ogg ]; then codec=(-c:a libvorbis); else codec=(-c:a libopus); fi
    ff -f lavfi -i "$(tone up 3)" "${codec[@]}" -metadata album=Samples "${tags[@]}" \
      -metadata "METADATA_BLOCK_PICTURE=$block" "$1"
    ;;
  surround.wav) # 5.1
    ff -f lavfi -i "$(tone up 3 6)" -af "aformat=channel_layouts=5.1" -c:a pcm_s16le "${tags[@]}" surround.wav
    ;;
  book.m4a) # a spoken book with chapters
    side
    ff -f lavfi -i "$(tone up 4)" -i chapters.txt -map 0 -map_chapters 1 -c:a aac "${tags[@]}" book.m4a
    ;;
  cut.mkv) # a download cut off halfway: its header states 4 s, its packets reach about 2 s
    ff -f lavfi -i "$(picture 160x120 25 4)" -f lavfi -i "$(tone up 4)" $(x264 -bf 0 -g 25) -c:a aac \
      "${tags[@]}" whole.mkv
    head -c $(($(stat -c %s whole.mkv) / 2)) whole.mkv >cut.mkv
    rm whole.mkv
    ;;
  memo.m4a) # a voice memo: mono AAC at 48 kHz
    ff -f lavfi -i "$(tone up 3 1)" -c:a aac -b:a 64k "${tags[@]}" memo.m4a
    ;;
  lossless.m4a) # Apple Lossless with a cover
    side
    ff -f lavfi -i "$(tone up 3)" -i cover.jpg -map 0:a -map 1:v -c:a alac -ar 44100 -c:v copy \
      -disposition:v attached_pic -metadata album=Samples "${tags[@]}" lossless.m4a
    ;;
  hires.flac) # 24 bits at 96 kHz
    ff -f lavfi -i "$(tone up 3)" -af aresample=96000 -c:a flac -sample_fmt s32 "${tags[@]}" hires.flac
    ;;
  low.wav) # 8-bit mono at 11 025 Hz
    ff -f lavfi -i "$(tone up 3 1)" -c:a pcm_u8 -ar 11025 "${tags[@]}" low.wav
    ;;
  low.mp3) # mono at 22 050 Hz, of a varying bit rate with its Xing header
    ff -f lavfi -i "$(tone up 3 1)" -c:a libmp3lame -ar 22050 -q:a 6 "${tags[@]}" low.mp3
    ;;
  song.wma)
    ff -f lavfi -i "$(tone up 3)" -c:a wmav2 -b:a 128k "${tags[@]}" song.wma
    ;;
  song.aiff)
    ff -f lavfi -i "$(tone up 3)" -c:a pcm_s16be "${tags[@]}" song.aiff
    ;;
  aired.opus) # cut from a longer stream, as a radio recording is: its first page is 2.5 s in
    ff -f lavfi -i "$(tone up 3)" -c:a libopus -output_ts_offset 2.5 "${tags[@]}" aired.opus
    ;;
  delayed.m4a) # a book whose sound starts a second in, after an empty edit
    side
    ff -f lavfi -i "$(tone up 4)" -i chapters.txt -map 0 -map_chapters 1 -c:a aac -output_ts_offset 1 \
      "${tags[@]}" delayed.m4a
    ;;
  *)
    song_by_others "$1" && return
    echo "unknown source: $1" >&2
    exit 2
    ;;
  esac
}

# Songs as other programs write them: sox, the Opus and Vorbis encoders, flac with a cue sheet,
# lame at a varying bit rate, a broadcast WAVE file. Their tone rises linearly as the others' do,
# at half of full scale.
sweep() { echo synth "$1" sine 400:$((400 + 400 * $1)) vol 0.5; }
song_by_others() {
  case $1 in
  deep.wav) # 24 bits at 96 kHz
    sox -n -r 96000 -c 2 -b 24 deep.wav $(sweep 3)
    ;;
  byte.aiff) # 8 bits, mono, an odd number of samples: the sound chunk needs a pad byte
    sox -n -r 11025 -c 1 -b 8 raw.aiff $(sweep 3)
    ff -i raw.aiff -c copy "${tags[@]}" byte.aiff
    rm raw.aiff
    ;;
  ulaw.wav) # µ-law at 8 kHz, as telephones record
    sox -n -r 8000 -c 1 -e u-law ulaw.wav $(sweep 3)
    ;;
  six.wav) # six channels
    sox -n -r 48000 -c 6 -b 16 six.wav $(sweep 3)
    ;;
  broadcast.wav) # a field recorder's: 24 bits with a bext chunk, recorded at 10:00:00
    ff -f lavfi -i "$(tone up 3)" -c:a pcm_s24le -write_bext 1 -metadata "originator=Field Recorder" \
      -metadata originator_reference=REC0042 -metadata origination_date=2024-05-04 \
      -metadata origination_time=10:00:00 -metadata time_reference=1728000000 \
      -metadata "coding_history=A=PCM,F=48000,W=24,M=stereo,T=Recorder" broadcast.wav
    ;;
  enc.opus | enc.ogg | vbr.mp3 | cue.flac)
    sox -n -r 44100 -c 2 -b 16 plain.wav $(sweep 4)
    case $1 in
    enc.opus) opusenc --quiet --title "Judge Sample" --artist "Tolvane Tests" --comment "comment=kept whole" \
      plain.wav enc.opus ;;
    enc.ogg) oggenc -Q -t "Judge Sample" -a "Tolvane Tests" -c "comment=kept whole" -o enc.ogg plain.wav ;;
    vbr.mp3) lame --quiet -V 4 --tt "Judge Sample" --ta "Tolvane Tests" plain.wav vbr.mp3 ;;
    cue.flac) # a disc's two tracks at 0 and 1.5 s, the second with a pregap from 1 s
      printf 'FILE "plain.wav" WAVE\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n  TRACK 02 AUDIO\n    INDEX 00 00:01:00\n    INDEX 01 00:01:37\n' >cue.cue
      flac -s -f --cuesheet=cue.cue -T "TITLE=Judge Sample" -T "ARTIST=Tolvane Tests" -o cue.flac plain.wav
      rm cue.cue
      ;;
    esac
    rm plain.wav
    ;;
  *) return 1 ;;
  esac
}

all=(film.mp4 film.mkv camera.mov web.webm old.avi anim.mov late.mp4 late.mkv short.mkv vfr.mp4 offset.mkv
  offset.mp4 long.mkv long.webm long.mp4 reel.mkv reel.mp4 cut.mkv song.mp3 song.m4a song.flac song.ogg song.opus surround.wav song.aiff book.m4a
  phone.mov phone.mp4 turned.mp4 hevc.mp4 hevc.mkv deep.mkv av1.webm vp8.webm xvid.avi old.wmv memo.m4a lossless.m4a hires.flac
  low.wav low.mp3 song.wma aired.opus delayed.m4a merged.mkv dubbed.mkv gst.mp4 gst.mov gst.mkv gst.webm
  gst.ogg plain.mkv remux.mkv editlist.mp4 frag.mp4 tracks.mp4 stamped.mkv)
all+=(deep.wav byte.aiff ulaw.wav six.wav broadcast.wav enc.opus enc.ogg vbr.mp3 cue.flac)
for name in "${@:-${all[@]}}"; do make "$name"; done
