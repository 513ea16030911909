// A 440 Hz sine at half scale encoded as Ogg Vorbis, for the loader tests and the fuzzers' seeds.
// The program links vorbisenc, vorbis and ogg.
#pragma once

#include <vorbis/vorbisenc.h>

#include <cmath>
#include <numbers>
#include <string>

// The whole file's bytes; empty when the encoder refuses the settings.
inline std::string OggTone(int channels, int rate, float quality, int frames) {
    std::string out;
    vorbis_info info;
    vorbis_info_init(&info);
    if (vorbis_encode_init_vbr(&info, channels, rate, quality) != 0) {
        vorbis_info_clear(&info);
        return out;
    }
    vorbis_comment comment;
    vorbis_comment_init(&comment);
    vorbis_dsp_state dsp;
    vorbis_block block;
    ogg_stream_state stream;
    ogg_page page;
    ogg_packet packet, commentPacket, codePacket;
    auto writePage = [&] {
        out.append(reinterpret_cast<const char*>(page.header), std::size_t(page.header_len));
        out.append(reinterpret_cast<const char*>(page.body), std::size_t(page.body_len));
    };
    vorbis_analysis_init(&dsp, &info);
    vorbis_block_init(&dsp, &block);
    ogg_stream_init(&stream, 1);
    vorbis_analysis_headerout(&dsp, &comment, &packet, &commentPacket, &codePacket);
    ogg_stream_packetin(&stream, &packet);
    ogg_stream_packetin(&stream, &commentPacket);
    ogg_stream_packetin(&stream, &codePacket);
    while (ogg_stream_flush(&stream, &page)) writePage();

    float** input = vorbis_analysis_buffer(&dsp, frames);
    for (int i = 0; i < frames; ++i) {
        float v = 0.5f * std::sin(2.0f * std::numbers::pi_v<float> * 440.0f * float(i) / float(rate));
        for (int ch = 0; ch < channels; ++ch) input[ch][i] = v;
    }
    vorbis_analysis_wrote(&dsp, frames);
    vorbis_analysis_wrote(&dsp, 0);
    while (vorbis_analysis_blockout(&dsp, &block) == 1) {
        vorbis_analysis(&block, nullptr);
        vorbis_bitrate_addblock(&block);
        while (vorbis_bitrate_flushpacket(&dsp, &packet)) {
            ogg_stream_packetin(&stream, &packet);
            while (ogg_stream_pageout(&stream, &page)) writePage();
        }
    }
    while (ogg_stream_flush(&stream, &page)) writePage();
    ogg_stream_clear(&stream);
    vorbis_block_clear(&block);
    vorbis_dsp_clear(&dsp);
    vorbis_comment_clear(&comment);
    vorbis_info_clear(&info);
    return out;
}
