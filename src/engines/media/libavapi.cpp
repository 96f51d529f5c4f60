#include "engines/media/libavapi.h"

#include <dlfcn.h>

extern "C" {
#include <libavutil/macros.h>
}

namespace {

template <typename F> bool resolve(void* library, const char* name, F& into)
{
    into = reinterpret_cast<F>(::dlsym(library, name));
    return into != nullptr;
}

const LibAvApi* load()
{
    static LibAvApi api;
    void* util = ::dlopen("libavutil.so." AV_STRINGIFY(LIBAVUTIL_VERSION_MAJOR), RTLD_LAZY | RTLD_LOCAL);
    void* codec = ::dlopen("libavcodec.so." AV_STRINGIFY(LIBAVCODEC_VERSION_MAJOR), RTLD_LAZY | RTLD_LOCAL);
    void* format =
        ::dlopen("libavformat.so." AV_STRINGIFY(LIBAVFORMAT_VERSION_MAJOR), RTLD_LAZY | RTLD_LOCAL);
    if (!util || !codec || !format) return nullptr;
    const bool ok =
        resolve(util, "av_log_set_level", api.logSetLevel) && resolve(util, "av_dict_set", api.dictSet) &&
        resolve(util, "av_dict_get", api.dictGet) && resolve(util, "av_dict_free", api.dictFree) &&
        resolve(util, "av_get_media_type_string", api.mediaTypeString) &&
        resolve(util, "av_fourcc_make_string", api.fourccString) &&
        resolve(codec, "avcodec_descriptor_get", api.descriptor) &&
        resolve(codec, "av_packet_alloc", api.packetAlloc) &&
        resolve(codec, "av_packet_free", api.packetFree) &&
        resolve(codec, "av_packet_unref", api.packetUnref) &&
        resolve(format, "avformat_open_input", api.openInput) &&
        resolve(format, "av_find_input_format", api.findInputFormat) &&
        resolve(format, "avformat_find_stream_info", api.findStreamInfo) &&
        resolve(format, "avformat_close_input", api.closeInput) &&
        resolve(format, "av_read_frame", api.readFrame) &&
        resolve(format, "avformat_seek_file", api.seekFile) &&
        resolve(format, "avformat_index_get_entries_count", api.indexCount) &&
        resolve(format, "avformat_index_get_entry", api.indexEntry) &&
        resolve(util, "av_frame_alloc", api.frameAlloc) && resolve(util, "av_frame_free", api.frameFree) &&
        resolve(codec, "avcodec_find_decoder", api.findDecoder) &&
        resolve(codec, "avcodec_alloc_context3", api.allocContext) &&
        resolve(codec, "avcodec_free_context", api.freeContext) &&
        resolve(codec, "avcodec_parameters_to_context", api.parametersToContext) &&
        resolve(codec, "avcodec_open2", api.openCodec) &&
        resolve(codec, "avcodec_send_packet", api.sendPacket) &&
        resolve(codec, "avcodec_receive_frame", api.receiveFrame) &&
        resolve(codec, "avcodec_flush_buffers", api.flushBuffers) &&
        resolve(format, "avformat_version", api.formatVersion) &&
        resolve(util, "av_strerror", api.strerror) && resolve(util, "av_mallocz", api.mallocz) &&
        resolve(util, "av_calloc", api.calloc) && resolve(util, "av_dict_copy", api.dictCopy) &&
        resolve(util, "av_rescale_q", api.rescaleQ) && resolve(util, "av_rescale_q_rnd", api.rescaleQRnd) &&
        resolve(util, "av_rescale_delta", api.rescaleDelta) && resolve(util, "av_add_q", api.addQ) &&
        resolve(codec, "avcodec_parameters_copy", api.parametersCopy) &&
        resolve(codec, "av_get_audio_frame_duration2", api.audioFrameDuration) &&
        resolve(codec, "av_packet_new_side_data", api.packetNewSideData) &&
        resolve(codec, "av_packet_get_side_data", api.packetGetSideData) &&
        resolve(format, "avformat_alloc_output_context2", api.allocOutput) &&
        resolve(format, "avformat_free_context", api.freeFormat) &&
        resolve(format, "avformat_new_stream", api.newStream) &&
        resolve(format, "avformat_transfer_internal_stream_timing_info", api.transferTiming) &&
        resolve(format, "av_stream_get_codec_timebase", api.codecTimeBase) &&
        resolve(format, "av_stream_new_side_data", api.streamNewSideData) &&
        resolve(format, "av_stream_get_parser", api.streamParser) &&
        resolve(format, "av_codec_get_id", api.codecGetId) &&
        resolve(format, "av_codec_get_tag2", api.codecGetTag2) && resolve(format, "avio_open", api.ioOpen) &&
        resolve(format, "avio_closep", api.ioClose) &&
        resolve(format, "avformat_write_header", api.writeHeader) &&
        resolve(format, "av_interleaved_write_frame", api.writeFrame) &&
        resolve(format, "av_write_trailer", api.writeTrailer);
    if (!ok) return nullptr;
    // The libraries would otherwise write their warnings to our standard error.
    api.logSetLevel(AV_LOG_QUIET);
    return &api;
}

} // namespace

const LibAvApi* libAvApi()
{
    static const LibAvApi* const loaded = load();
    return loaded;
}
