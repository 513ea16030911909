// A small chiptune synthesiser: band-limited pulse and saw, triangle, sine and pitched noise,
// each note with a glide, vibrato, an attack-decay-sustain-release envelope and optional one-pole
// filters. Sound effects and the music are both lists of notes rendered by it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace assetgen {

enum class Wave { Pulse, Triangle, Saw, Sine, Noise };

struct Voice {
    Wave wave = Wave::Pulse;
    float duty = 0.5f; // pulse width, 0..1
    float volume = 1.0f;
    float attack = 0.003f; // seconds from silence to full
    float decay = 0.0f;    // seconds for the level to fall 1/e of the way to sustain; 0 = none
    float sustain = 1.0f;  // level held after the decay
    float release = 0.02f; // seconds from the gate's end to silence, linear
    float vibratoHz = 0.0f, vibratoSemis = 0.0f;
    float lowpassHz = 0.0f;  // 0 = open
    float highpassHz = 0.0f; // 0 = none
};

struct Note {
    double start = 0;              // seconds
    double length = 0;             // gate time; the release follows it
    float freq = 440, freqEnd = 0; // glide from freq to freqEnd over the gate (0 = no glide)
    Voice voice;
    std::uint32_t seed = 1; // noise seed: the same note always sounds the same
};

float noteFrequency(const std::string& name); // "A4" = 440, "C#5", "Bb3"; throws on a bad name

class Mix {
  public:
    Mix(int rate, double seconds);
    int rate() const { return rate_; }
    std::vector<float>& samples() { return s_; }
    const std::vector<float>& samples() const { return s_; }
    // Adds the note; whatever would fall past the end wraps to the start when `wrap` is set
    // (music loops), and is dropped otherwise.
    void add(const Note& n, bool wrap = false);
    // Feedback echo; for loops the echo of the end carries on into the start.
    void echo(double delay, float feedback, float wet, bool wrap = false);
    void normalise(float peak);
    // Short linear fades at both ends so a sound starts and stops at silence.
    void fadeEnds(double in, double out);

  private:
    int rate_;
    std::vector<float> s_;
};

void writeWav16(const std::string& path, const Mix& mix);
// Ogg Vorbis, mono, variable bit rate at the given quality (-0.1 .. 1).
void writeOggVorbis(const std::string& path, const Mix& mix, float quality);

} // namespace assetgen
