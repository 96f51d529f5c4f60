#include "engines/image/jpegcheck.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>
// jpeglib.h needs size_t and FILE declared before it.
#include <jpeglib.h>
// jerror.h after it: its warning codes and the macro that gives them.
#include <jerror.h>

namespace {

// libjpeg takes a fast way through the coded data while much of it is at hand, and that way
// passes over a code it can't follow without a word. Fed a little at a time, as a PDF reader
// feeds it, it takes the careful way, which warns.
constexpr size_t piece = 256;
const JOCTET endMarker[2] = {0xFF, JPEG_EOI};

struct Source
{
    jpeg_source_mgr manager;
    const JOCTET* data = nullptr;
    size_t size = 0;
    size_t at = 0;
};

boolean fill(j_decompress_ptr info)
{
    auto* source = reinterpret_cast<Source*>(info->src);
    if (source->at >= source->size) {
        // Data that end early are ended for the decoder, as libjpeg's own sources do: a warning.
        WARNMS(info, JWRN_JPEG_EOF);
        source->manager.next_input_byte = endMarker;
        source->manager.bytes_in_buffer = 2;
        return TRUE;
    }
    const size_t n = std::min(piece, source->size - source->at);
    source->manager.next_input_byte = source->data + source->at;
    source->manager.bytes_in_buffer = n;
    source->at += n;
    return TRUE;
}

void skip(j_decompress_ptr info, long count)
{
    while (count > long(info->src->bytes_in_buffer)) {
        count -= long(info->src->bytes_in_buffer);
        fill(info);
    }
    if (count > 0) {
        info->src->next_input_byte += count;
        info->src->bytes_in_buffer -= size_t(count);
    }
}

struct Errors
{
    jpeg_error_mgr manager;
    std::jmp_buf jump;
    int warnings = 0;
};

// Runs the decoder over `data`; false at the first failure. Only plain values live in the frame
// that libjpeg's error handler jumps back to.
bool decode(jpeg_decompress_struct& info, Errors& errors, const QByteArray& data)
{
    if (setjmp(errors.jump)) return false;
    jpeg_create_decompress(&info);
    Source source{};
    source.manager.init_source = [](j_decompress_ptr) {};
    source.manager.fill_input_buffer = fill;
    source.manager.skip_input_data = skip;
    source.manager.resync_to_restart = jpeg_resync_to_restart;
    source.manager.term_source = [](j_decompress_ptr) {};
    source.data = reinterpret_cast<const JOCTET*>(data.constData());
    source.size = size_t(data.size());
    info.src = &source.manager;
    if (jpeg_read_header(&info, TRUE) != JPEG_HEADER_OK) return false;
    info.scale_num = 1;
    info.scale_denom = 8;
    if (!jpeg_start_decompress(&info)) return false;
    // The row is libjpeg's own, freed with the decoder.
    JSAMPARRAY rows = (*info.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&info), JPOOL_IMAGE,
                                                info.output_width * JDIMENSION(info.output_components), 1);
    while (info.output_scanline < info.output_height)
        if (jpeg_read_scanlines(&info, rows, 1) != 1) return false;
    return jpeg_finish_decompress(&info);
}

} // namespace

namespace JpegCheck {

bool whole(const QByteArray& data)
{
    jpeg_decompress_struct info{};
    Errors errors{};
    info.err = jpeg_std_error(&errors.manager);
    errors.manager.error_exit = [](j_common_ptr common) {
        std::longjmp(reinterpret_cast<Errors*>(common->err)->jump, 1);
    };
    // A warning is the decoder making up for damage; nothing is printed.
    errors.manager.emit_message = [](j_common_ptr common, int level) {
        if (level < 0) ++reinterpret_cast<Errors*>(common->err)->warnings;
    };
    const bool read = decode(info, errors, data);
    jpeg_destroy_decompress(&info);
    return read && errors.warnings == 0;
}

} // namespace JpegCheck
