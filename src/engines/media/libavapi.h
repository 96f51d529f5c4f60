#pragma once

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/avutil.h>
}

// The entry points of ffmpeg's libraries that the media readers use, typed from the headers this
// file was built with. The libraries are opened by the major version of those headers, so the
// structures agree.
struct LibAvApi
{
    decltype(&av_log_set_level) logSetLevel;
    decltype(&av_dict_set) dictSet;
    decltype(&av_dict_get) dictGet;
    decltype(&av_dict_free) dictFree;
    decltype(&av_get_media_type_string) mediaTypeString;
    decltype(&av_fourcc_make_string) fourccString;
    decltype(&avcodec_descriptor_get) descriptor;
    decltype(&av_packet_alloc) packetAlloc;
    decltype(&av_packet_free) packetFree;
    decltype(&av_packet_unref) packetUnref;
    decltype(&avformat_open_input) openInput;
    decltype(&av_find_input_format) findInputFormat;
    decltype(&avformat_find_stream_info) findStreamInfo;
    decltype(&avformat_close_input) closeInput;
    decltype(&av_read_frame) readFrame;
    decltype(&avformat_seek_file) seekFile;
    decltype(&avformat_index_get_entries_count) indexCount;
    decltype(&avformat_index_get_entry) indexEntry;
    // Decoding, to tell that a copied stream plays.
    decltype(&av_frame_alloc) frameAlloc;
    decltype(&av_frame_free) frameFree;
    decltype(&avcodec_find_decoder) findDecoder;
    decltype(&avcodec_alloc_context3) allocContext;
    decltype(&avcodec_free_context) freeContext;
    decltype(&avcodec_parameters_to_context) parametersToContext;
    decltype(&avcodec_open2) openCodec;
    decltype(&avcodec_send_packet) sendPacket;
    decltype(&avcodec_receive_frame) receiveFrame;
    decltype(&avcodec_flush_buffers) flushBuffers;
    // Writing, for a stream copy made in this process.
    decltype(&avformat_version) formatVersion;
    decltype(&av_strerror) strerror;
    decltype(&av_mallocz) mallocz;
    decltype(&av_calloc) calloc;
    decltype(&av_dict_copy) dictCopy;
    decltype(&av_rescale_q) rescaleQ;
    decltype(&av_rescale_q_rnd) rescaleQRnd;
    decltype(&av_rescale_delta) rescaleDelta;
    decltype(&av_add_q) addQ;
    decltype(&avcodec_parameters_copy) parametersCopy;
    decltype(&av_get_audio_frame_duration2) audioFrameDuration;
    decltype(&av_packet_new_side_data) packetNewSideData;
    decltype(&av_packet_get_side_data) packetGetSideData;
    decltype(&avformat_alloc_output_context2) allocOutput;
    decltype(&avformat_free_context) freeFormat;
    decltype(&avformat_new_stream) newStream;
    decltype(&avformat_transfer_internal_stream_timing_info) transferTiming;
    decltype(&av_stream_get_codec_timebase) codecTimeBase;
    decltype(&av_stream_new_side_data) streamNewSideData;
    decltype(&av_stream_get_parser) streamParser;
    decltype(&av_codec_get_id) codecGetId;
    decltype(&av_codec_get_tag2) codecGetTag2;
    decltype(&avio_open) ioOpen;
    decltype(&avio_closep) ioClose;
    decltype(&avformat_write_header) writeHeader;
    decltype(&av_interleaved_write_frame) writeFrame;
    decltype(&av_write_trailer) writeTrailer;
};

// The libraries' entry points, loaded at the first call, on whatever thread makes it; null when
// the libraries are missing.
const LibAvApi* libAvApi();
