#!/usr/bin/env bash
# Makes the six samples that `tolvane --selftest DIR` works on, in DIR: photo.jpg, photo.png,
# clip.mp4 (3 s with sound), clip.mov (2 s, silent), song.mp3 (3 s stereo, with a cover picture)
# and sample.pdf (PAGES pages of text, three unless given, a photo on the first, a title, an
# author and the rest of the document information). Needs only ffmpeg and the DejaVu fonts;
# nothing is downloaded.
set -euo pipefail
export LC_ALL=C # byte counts and numbers below, whatever the caller speaks
dir=${1:?usage: selftest-samples.sh DIR [PAGES]}
pages=${2:-3}
mkdir -p "$dir"
cd "$dir"

ff() { ffmpeg -nostdin -hide_banner -loglevel error -y "$@"; }

# The photo carries a line of writing on a white band, for the redaction's text search to find,
# and a little grain at a high quality, so that it is larger than the 60 KB its compression aims at.
font=/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf
ff -f lavfi -i "testsrc2=size=640x480" -frames:v 1 -q:v 2 \
  -vf "noise=alls=6:allf=t,drawbox=x=0:y=380:w=640:h=100:color=white:t=fill,drawtext=fontfile=$font:text='Meet me at the harbour':fontsize=36:fontcolor=black:x=40:y=412" \
  photo.jpg
ff -f lavfi -i "smptebars=size=320x240" -frames:v 1 photo.png
ff -f lavfi -i "testsrc2=size=320x240:rate=25:duration=3" -f lavfi -i "sine=frequency=440:duration=3" \
  -c:v libx264 -pix_fmt yuv420p -c:a aac -shortest clip.mp4
ff -f lavfi -i "testsrc=size=320x240:rate=25:duration=2" -c:v libx264 -pix_fmt yuv420p clip.mov
# The song carries a cover picture, as most songs do.
ff -f lavfi -i "testsrc2=size=64x64" -frames:v 1 cover.png
ff -f lavfi -i "sine=frequency=440:duration=3" -f lavfi -i "sine=frequency=660:duration=3" -i cover.png \
  -filter_complex "[0:a][1:a]join=inputs=2:channel_layout=stereo[a]" -map "[a]" -map 2:v -c:v copy \
  -disposition:v attached_pic -c:a libmp3lame -b:a 128k song.mp3
rm cover.png

# A PDF written object by object, its first page holding a photo of the whole page at 150 dpi
# (so that its smallest copy really is smaller); the cross-reference table needs each object's
# byte offset. The photo's bytes go straight into the file, as a shell string can't hold them.
ff -f lavfi -i "testsrc2=size=1275x1650" -vf "noise=alls=8:allf=t" -frames:v 1 -q:v 2 picture.jpg
pdfsize() { stat -c %s sample.pdf; }
printf '%%PDF-1.4\n' >sample.pdf
offsets=()
object() {
  offsets+=("$(pdfsize)")
  printf '%s 0 obj\n%s\nendobj\n' "$1" "$2" >>sample.pdf
}
object 1 "<< /Type /Catalog /Pages 2 0 R >>"
image=$((4 + 2 * pages)) info=$((5 + 2 * pages)) # after each page's object and its content
kids=
for page in $(seq "$pages"); do kids+="$((2 + 2 * page)) 0 R "; done
object 2 "<< /Type /Pages /Kids [${kids% }] /Count $pages >>"
object 3 "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>"
for page in $(seq "$pages"); do
  content="BT /F1 36 Tf 72 700 Td (Sample page $page) Tj ET"
  photo=
  if [ "$page" = 1 ]; then
    content="q 612 0 0 792 0 0 cm /Im1 Do Q $content"
    photo="/XObject << /Im1 $image 0 R >>"
  fi
  object $((2 + 2 * page)) "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Resources << /Font << /F1 3 0 R >> $photo >> /Contents $((3 + 2 * page)) 0 R >>"
  object $((3 + 2 * page)) "<< /Length ${#content} >>"$'\nstream\n'"$content"$'\nendstream'
done
offsets+=("$(pdfsize)")
printf '%s 0 obj\n<< /Type /XObject /Subtype /Image /Width 1275 /Height 1650 /ColorSpace /DeviceRGB /BitsPerComponent 8 /Filter /DCTDecode /Length %s >>\nstream\n' \
  "$image" "$(stat -c %s picture.jpg)" >>sample.pdf
cat picture.jpg >>sample.pdf
printf '\nendstream\nendobj\n' >>sample.pdf
rm picture.jpg
# Document information of every kind, which an edit of the title must not leave behind.
object "$info" "<< /Title (Sample) /Author (Ann Sample) /Subject (Samples) /Keywords (test) /Creator (Writer) /Producer (Press) /CreationDate (D:20240101120000Z) /ModDate (D:20240102120000Z) >>"
xref=$(pdfsize)
{
  printf 'xref\n0 %d\n0000000000 65535 f \n' $((${#offsets[@]} + 1))
  for offset in "${offsets[@]}"; do
    printf '%010d 00000 n \n' "$offset"
  done
  printf 'trailer\n<< /Size %d /Root 1 0 R /Info %d 0 R >>\nstartxref\n%d\n%%%%EOF\n' $((${#offsets[@]} + 1)) "$info" "$xref"
} >>sample.pdf
