#include "synth.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <map>
#include <memory>
#include <numbers>
#include <stdexcept>

#include <vorbis/vorbisenc.h>

namespace assetgen {

namespace {

constexpr double kTau = 2 * std::numbers::pi;

// PolyBLEP residual: removes the aliasing step of a hard edge at phase 0.
float blep(float t, float dt) {
    if (t < dt) {
        t /= dt;
        return t + t - t * t - 1;
    }
    if (t > 1 - dt) {
        t = (t - 1) / dt;
        return t * t + t + t + 1;
    }
    return 0;
}

class Oscillator {
  public:
    Oscillator(const Voice& v, std::uint32_t seed) : v_(v), noiseState_(seed ? seed : 1) {
        held_ = nextNoise();
    }

    float sample(float freq, int rate) {
        float dt = std::min(freq / rate, 0.5f);
        float out = 0;
        switch (v_.wave) {
        case Wave::Pulse: {
            float edge2 = std::fmod(phase_ + 1 - v_.duty, 1.0f);
            out = (phase_ < v_.duty ? 1.0f : -1.0f) + blep(phase_, dt) - blep(edge2, dt);
            break;
        }
        case Wave::Saw:
            out = 2 * phase_ - 1 - blep(phase_, dt);
            break;
        case Wave::Triangle:
            out = 1 - 4 * std::abs(phase_ - 0.5f);
            break;
        case Wave::Sine:
            out = static_cast<float>(std::sin(kTau * phase_));
            break;
        case Wave::Noise:
            out = held_;
            break;
        }
        phase_ += freq / rate;
        if (phase_ >= 1) {
            phase_ -= std::floor(phase_);
            held_ = nextNoise();
        }
        return out;
    }

  private:
    float nextNoise() {
        noiseState_ = noiseState_ * 1664525u + 1013904223u;
        return (noiseState_ >> 8) / 8388608.0f - 1.0f;
    }
    const Voice& v_;
    float phase_ = 0, held_ = 0;
    std::uint32_t noiseState_;
};

float envelope(const Voice& v, double t, double gate) {
    auto held = [&](double u) {
        double level = v.attack > 0 && u < v.attack ? u / v.attack : 1.0;
        if (u >= v.attack && v.decay > 0)
            level = v.sustain + (1 - v.sustain) * std::exp(-(u - v.attack) / v.decay);
        return level;
    };
    if (t < gate) return static_cast<float>(held(t));
    if (v.release <= 0) return 0;
    return static_cast<float>(held(gate) * std::max(0.0, 1 - (t - gate) / v.release));
}

float onePoleCoefficient(float hz, int rate) { return 1 - static_cast<float>(std::exp(-kTau * hz / rate)); }

} // namespace

float noteFrequency(const std::string& name) {
    static const std::map<char, int> steps = {{'C', -9}, {'D', -7}, {'E', -5}, {'F', -4},
                                              {'G', -2}, {'A', 0},  {'B', 2}};
    auto it = name.empty() ? steps.end() : steps.find(name[0]);
    if (it == steps.end()) throw std::runtime_error("bad note name: " + name);
    int semis = it->second;
    size_t pos = 1;
    if (pos < name.size() && (name[pos] == '#' || name[pos] == 'b')) semis += name[pos++] == '#' ? 1 : -1;
    if (pos + 1 != name.size() || name[pos] < '0' || name[pos] > '8')
        throw std::runtime_error("bad note name: " + name);
    semis += (name[pos] - '4') * 12;
    return 440.0f * std::pow(2.0f, semis / 12.0f);
}

Mix::Mix(int rate, double seconds)
    : rate_(rate), s_(static_cast<size_t>(std::llround(seconds * rate)), 0.0f) {}

void Mix::add(const Note& n, bool wrap) {
    const Voice& v = n.voice;
    Oscillator osc(v, n.seed);
    long first = std::lround(n.start * rate_);
    long count = std::lround((n.length + v.release) * rate_);
    float lpA = v.lowpassHz > 0 ? onePoleCoefficient(v.lowpassHz, rate_) : 1.0f;
    float hpA = v.highpassHz > 0 ? onePoleCoefficient(v.highpassHz, rate_) : 0.0f;
    float lp = 0, hpLow = 0;
    long size = static_cast<long>(s_.size());
    for (long i = 0; i < count; ++i) {
        double t = static_cast<double>(i) / rate_;
        double glideT = n.length > 0 ? std::min(1.0, t / n.length) : 1.0;
        float f = n.freqEnd > 0 ? static_cast<float>(n.freq * std::pow(n.freqEnd / n.freq, glideT)) : n.freq;
        if (v.vibratoSemis > 0 && t > 0.12) {
            double depth = v.vibratoSemis * std::min(1.0, (t - 0.12) / 0.1);
            f *= static_cast<float>(std::pow(2.0, depth / 12 * std::sin(kTau * v.vibratoHz * t)));
        }
        float x = osc.sample(f, rate_);
        lp += lpA * (x - lp);
        x = lp;
        if (hpA > 0) {
            hpLow += hpA * (x - hpLow);
            x -= hpLow;
        }
        long at = first + i;
        if (at >= size) {
            if (!wrap) break;
            at %= size;
        }
        s_[at] += x * v.volume * envelope(v, t, n.length);
    }
}

void Mix::echo(double delay, float feedback, float wet, bool wrap) {
    long n = static_cast<long>(s_.size()), d = std::lround(delay * rate_);
    std::vector<float> line(s_.size(), 0.0f);
    // A loop's echo line is circular: going round a few times lets the end's echoes settle into
    // the start exactly as they would when the loop repeats.
    int passes = wrap ? 6 : 1;
    for (int pass = 0; pass < passes; ++pass)
        for (long i = 0; i < n; ++i) {
            long from = i - d;
            if (from < 0 && !wrap) continue;
            from = (from % n + n) % n;
            line[i] = s_[from] + feedback * line[from];
        }
    for (long i = 0; i < n; ++i) s_[i] += wet * line[i];
}

void Mix::normalise(float peak) {
    float top = 0;
    for (float v : s_) top = std::max(top, std::abs(v));
    if (top > 0)
        for (float& v : s_) v *= peak / top;
}

void Mix::fadeEnds(double in, double out) {
    long n = static_cast<long>(s_.size());
    long a = std::min(n, std::lround(in * rate_)), b = std::min(n, std::lround(out * rate_));
    for (long i = 0; i < a; ++i) s_[i] *= static_cast<float>(i) / a;
    for (long i = 0; i < b; ++i) s_[n - 1 - i] *= static_cast<float>(i) / b;
}

namespace {
void put16(std::ofstream& o, unsigned v) {
    o.put(static_cast<char>(v & 255)).put(static_cast<char>(v >> 8 & 255));
}
void put32(std::ofstream& o, unsigned v) {
    put16(o, v & 0xffff);
    put16(o, v >> 16);
}
} // namespace

void writeWav16(const std::string& path, const Mix& mix) {
    std::ofstream o(path, std::ios::binary);
    if (!o) throw std::runtime_error("cannot write " + path);
    unsigned bytes = static_cast<unsigned>(mix.samples().size() * 2),
             rate = static_cast<unsigned>(mix.rate());
    o.write("RIFF", 4);
    put32(o, 36 + bytes);
    o.write("WAVEfmt ", 8);
    put32(o, 16);
    put16(o, 1); // PCM
    put16(o, 1); // mono
    put32(o, rate);
    put32(o, rate * 2); // bytes per second
    put16(o, 2);        // block align
    put16(o, 16);       // bits
    o.write("data", 4);
    put32(o, bytes);
    for (float v : mix.samples()) {
        long s = std::lround(std::clamp(v, -1.0f, 1.0f) * 32767.0f);
        put16(o, static_cast<unsigned>(s) & 0xffff);
    }
    if (!o) throw std::runtime_error("cannot write " + path);
}

void writeOggVorbis(const std::string& path, const Mix& mix, float quality) {
    std::unique_ptr<FILE, int (*)(FILE*)> out(std::fopen(path.c_str(), "wb"), std::fclose);
    if (!out) throw std::runtime_error("cannot write " + path);
    vorbis_info vi;
    vorbis_info_init(&vi);
    if (vorbis_encode_init_vbr(&vi, 1, mix.rate(), quality) != 0)
        throw std::runtime_error("vorbis encoder refused its settings");
    vorbis_comment vc;
    vorbis_comment_init(&vc);
    vorbis_comment_add_tag(&vc, "TITLE", "Spindrift");
    vorbis_dsp_state vd;
    vorbis_block vb;
    vorbis_analysis_init(&vd, &vi);
    vorbis_block_init(&vd, &vb);
    ogg_stream_state os;
    ogg_stream_init(&os, 0x5d1f); // fixed serial number: the same song gives the same bytes
    ogg_page og;
    ogg_packet op, comm, code;
    auto writePage = [&] {
        std::fwrite(og.header, 1, og.header_len, out.get());
        std::fwrite(og.body, 1, og.body_len, out.get());
    };
    vorbis_analysis_headerout(&vd, &vc, &op, &comm, &code);
    ogg_stream_packetin(&os, &op);
    ogg_stream_packetin(&os, &comm);
    ogg_stream_packetin(&os, &code);
    while (ogg_stream_flush(&os, &og)) writePage();

    const std::vector<float>& s = mix.samples();
    const size_t chunk = 4096;
    for (size_t at = 0, n = 1; n > 0; at += n) {
        n = std::min(chunk, s.size() - at);
        if (n > 0) {
            float** buf = vorbis_analysis_buffer(&vd, static_cast<int>(n));
            std::copy_n(s.begin() + static_cast<long>(at), n, buf[0]);
        }
        vorbis_analysis_wrote(&vd, static_cast<int>(n)); // 0 marks the end of the stream
        while (vorbis_analysis_blockout(&vd, &vb) == 1) {
            vorbis_analysis(&vb, nullptr);
            vorbis_bitrate_addblock(&vb);
            while (vorbis_bitrate_flushpacket(&vd, &op)) {
                ogg_stream_packetin(&os, &op);
                while (ogg_stream_pageout(&os, &og)) writePage();
            }
        }
    }
    while (ogg_stream_flush(&os, &og)) writePage();
    ogg_stream_clear(&os);
    vorbis_block_clear(&vb);
    vorbis_dsp_clear(&vd);
    vorbis_comment_clear(&vc);
    vorbis_info_clear(&vi);
    if (std::ferror(out.get())) throw std::runtime_error("cannot write " + path);
}

} // namespace assetgen
