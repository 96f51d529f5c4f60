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
        resolve(codec, "avcodec_flush_buffers", api.flushBuffers);
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
