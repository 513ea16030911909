// The sound effects, sfx/NNN.wav: each a short patch for the synthesiser.
#include <functional>
#include <string>

#include "audio.h"
#include "random.h"
#include "synth.h"

namespace assetgen {

namespace {

constexpr int kRate = 44100;

Note tone(double start, double length, float f0, float f1, const Voice& v, std::uint32_t seed = 1) {
    return Note{start, length, f0, f1, v, seed};
}

Voice pulse(float duty, float volume, float decay, float sustain, float release) {
    Voice v;
    v.duty = duty;
    v.volume = volume;
    v.decay = decay;
    v.sustain = sustain;
    v.release = release;
    return v;
}

Voice shaped(Wave wave, float volume, float decay, float release) {
    Voice v = pulse(0.5f, volume, decay, 0.0f, release);
    v.wave = wave;
    return v;
}

Voice noise(float volume, float lowpass, float decay, float release) {
    Voice v = shaped(Wave::Noise, volume, decay, release);
    v.lowpassHz = lowpass;
    return v;
}

struct Effect {
    int slot;
    double seconds;
    std::function<void(Mix&)> compose;
};

const float C5 = 523.25f, E5 = 659.26f, G5 = 783.99f, A5 = 880.0f, B5 = 987.77f, C6 = 1046.5f, E6 = 1318.5f,
            G6 = 1568.0f, B6 = 1975.5f, C4 = 261.63f;

const Effect kEffects[] = {
    // 096: the start jingle, a bright rising arpeggio that lands on a shimmering chord.
    {96, 1.5,
     [](Mix& m) {
         Voice lead = pulse(0.25f, 0.5f, 0.08f, 0.55f, 0.05f);
         const float run[] = {C5, E5, G5, C6, E6};
         for (int i = 0; i < 5; ++i) m.add(tone(i * 0.075, 0.07, run[i], 0, lead));
         Voice chord = pulse(0.125f, 0.3f, 0.35f, 0.3f, 0.35f);
         chord.vibratoHz = 6;
         chord.vibratoSemis = 0.12f;
         for (float f : {C6, E6, G6}) m.add(tone(0.375, 0.55, f, 0, chord));
         Voice bass = shaped(Wave::Triangle, 0.6f, 0.4f, 0.25f);
         m.add(tone(0.375, 0.6, C4, 0, bass));
         m.echo(0.15, 0.3f, 0.3f);
     }},
    // 099: menu move, a short bright tick.
    {99, 0.065,
     [](Mix& m) {
         m.add(tone(0, 0.035, 1320, 1560, pulse(0.5f, 0.5f, 0.02f, 0.0f, 0.02f)));
         m.add(tone(0, 0.03, 660, 0, shaped(Wave::Triangle, 0.4f, 0.02f, 0.02f)));
     }},
    // 098: confirm and pause, two rising notes.
    {98, 0.42,
     [](Mix& m) {
         Voice v = pulse(0.25f, 0.5f, 0.06f, 0.3f, 0.04f);
         m.add(tone(0, 0.05, E6, 0, v));
         m.add(tone(0.06, 0.12, B6, 0, v));
         m.echo(0.07, 0.2f, 0.2f);
     }},
    // 002: jump, a springy upward sweep.
    {2, 0.25,
     [](Mix& m) {
         m.add(tone(0, 0.17, 280, 760, pulse(0.25f, 0.6f, 0.12f, 0.25f, 0.05f)));
         m.add(tone(0, 0.12, 140, 380, shaped(Wave::Triangle, 0.35f, 0.1f, 0.04f)));
     }},
    // 003: coin collected, the classic two-tone ping.
    {3, 0.5,
     [](Mix& m) {
         Voice v = pulse(0.5f, 0.45f, 0.15f, 0.2f, 0.12f);
         m.add(tone(0, 0.06, B5, 0, v));
         m.add(tone(0.065, 0.3, E6, 0, v));
         m.add(tone(0.065, 0.3, E6 * 2, 0, pulse(0.125f, 0.12f, 0.1f, 0.0f, 0.1f)));
     }},
    // 006: walker knocked, a hollow bonk with a puff.
    {6, 0.26,
     [](Mix& m) {
         m.add(tone(0, 0.16, 560, 130, shaped(Wave::Triangle, 0.8f, 0.1f, 0.05f)));
         m.add(tone(0, 0.12, 300, 90, pulse(0.125f, 0.25f, 0.08f, 0.0f, 0.04f)));
         m.add(tone(0, 0.05, 9000, 0, noise(0.4f, 3500, 0.03f, 0.03f), 17));
     }},
    // 007: the shaft tipping over, a wobbling creak falling away.
    {7, 1.2,
     [](Mix& m) {
         Voice creak = shaped(Wave::Saw, 0.5f, 0.6f, 0.2f);
         creak.sustain = 0.3f;
         creak.lowpassHz = 1400;
         creak.vibratoHz = 9;
         creak.vibratoSemis = 0.8f;
         creak.attack = 0.02f;
         m.add(tone(0, 1.0, 340, 60, creak));
         Voice wind = noise(0.35f, 700, 0.0f, 0.3f);
         wind.attack = 0.5f;
         wind.sustain = 1;
         m.add(tone(0, 0.9, 6000, 0, wind, 23));
     }},
    // 008: the collapse, a crash over a falling rumble with scattered debris.
    {8, 1.8,
     [](Mix& m) {
         m.add(tone(0, 1.2, 9000, 0, noise(0.7f, 2200, 0.35f, 0.4f), 31));
         Voice rumble = shaped(Wave::Sine, 0.9f, 0.6f, 0.4f);
         rumble.sustain = 0.2f;
         m.add(tone(0, 1.2, 110, 32, rumble));
         Rng rng(99);
         for (int i = 0; i < 9; ++i) {
             double at = 0.1 + rng.unit() * 1.1;
             m.add(tone(at, 0.03, 9000, 0, noise(0.35f, 1500 + rng.unit() * 3000, 0.02f, 0.03f), 40 + i));
         }
     }},
    // 001: a sparkle of high notes, for bonuses.
    {1, 0.6,
     [](Mix& m) {
         Voice v = pulse(0.125f, 0.35f, 0.08f, 0.1f, 0.06f);
         const float run[] = {E6, 1661.2f, B6, E6 * 2};
         for (int i = 0; i < 4; ++i) m.add(tone(i * 0.045, 0.05, run[i], 0, v));
         m.echo(0.09, 0.35f, 0.35f);
     }},
    // 004: a floor bumped from below, a short thud.
    {4, 0.12,
     [](Mix& m) {
         m.add(tone(0, 0.07, 190, 85, shaped(Wave::Triangle, 0.9f, 0.05f, 0.04f)));
         m.add(tone(0, 0.03, 9000, 0, noise(0.3f, 900, 0.02f, 0.02f), 5));
     }},
    // 005: landing, a soft crunch of snow.
    {5, 0.09,
     [](Mix& m) {
         Voice crunch = noise(0.5f, 3000, 0.025f, 0.03f);
         crunch.highpassHz = 400;
         m.add(tone(0, 0.04, 7000, 0, crunch, 9));
         m.add(tone(0, 0.05, 210, 120, shaped(Wave::Sine, 0.5f, 0.03f, 0.03f)));
     }},
    // 095: back or cancel, two falling notes.
    {95, 0.19,
     [](Mix& m) {
         Voice v = pulse(0.5f, 0.45f, 0.05f, 0.3f, 0.03f);
         m.add(tone(0, 0.06, A5, 0, v));
         m.add(tone(0.07, 0.08, E5, 0, v));
     }},
};

std::string slotFile(int slot) {
    std::string digits = std::to_string(slot);
    return "sfx/" + std::string(3 - digits.size(), '0') + digits + ".wav";
}

} // namespace

void writeSoundEffects(const std::string& dataDir) {
    for (const Effect& e : kEffects) {
        Mix m(kRate, e.seconds);
        e.compose(m);
        m.normalise(0.85f);
        m.fadeEnds(0.002, 0.01);
        writeWav16(dataDir + "/" + slotFile(e.slot), m);
    }
}

} // namespace assetgen
