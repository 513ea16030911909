// The round's music: reads the song text (tempo, chords, instruments and step tracks) and
// renders it as one seamless loop. Notes that ring past the end of the loop are wrapped onto its
// start, which is what the start sounds like when the loop repeats, so the end joins the start
// without a jump.
#include <cmath>
#include <fstream>
#include <map>
#include <sstream>
#include <stdexcept>
#include <vector>

#include "audio.h"
#include "synth.h"

namespace assetgen {

namespace {

constexpr int kStepsPerBar = 16;

struct Instrument {
    Voice voice;
    float hit = 0, to = 0; // drums: the frequency of a hit and its glide target
    double length = 0.1;   // drums: gate of a hit
};

struct Track {
    std::string instrument, style;
    int octave = 4;
    std::vector<std::string> steps;
};

struct Song {
    double tempo = 120;
    int bars = 0, rate = 22050;
    std::vector<std::vector<std::string>> chords; // per bar, one or two chord names
    std::map<std::string, Instrument> instruments;
    std::vector<Track> tracks;
    double stepSeconds() const { return 60.0 / tempo / 4; }
    int steps() const { return bars * kStepsPerBar; }
};

[[noreturn]] void bad(const std::string& path, int line, const std::string& why) {
    throw std::runtime_error(path + ":" + std::to_string(line) + ": " + why);
}

std::vector<std::string> tokensOf(const std::string& line) {
    std::istringstream in(line.substr(0, line.find(';')));
    std::vector<std::string> out;
    for (std::string t; in >> t;) out.push_back(t);
    return out;
}

float frequencyOf(const std::string& v) {
    return std::isalpha(static_cast<unsigned char>(v[0])) ? noteFrequency(v) : std::stof(v);
}

Instrument readInstrument(const std::vector<std::string>& t, const std::string& path, int line) {
    static const std::map<std::string, Wave> waves = {{"pulse", Wave::Pulse},
                                                      {"triangle", Wave::Triangle},
                                                      {"saw", Wave::Saw},
                                                      {"sine", Wave::Sine},
                                                      {"noise", Wave::Noise}};
    if (t.size() < 3 || !waves.count(t[2])) bad(path, line, "instrument needs a name and a wave");
    Instrument ins;
    Voice& v = ins.voice;
    v.wave = waves.at(t[2]);
    std::map<std::string, float*> keys = {{"duty", &v.duty},
                                          {"volume", &v.volume},
                                          {"attack", &v.attack},
                                          {"decay", &v.decay},
                                          {"sustain", &v.sustain},
                                          {"release", &v.release},
                                          {"vibrato", &v.vibratoHz},
                                          {"depth", &v.vibratoSemis},
                                          {"lowpass", &v.lowpassHz},
                                          {"highpass", &v.highpassHz},
                                          {"to", &ins.to}};
    for (size_t i = 3; i < t.size(); ++i) {
        size_t eq = t[i].find('=');
        if (eq == std::string::npos) bad(path, line, "expected key=value: " + t[i]);
        std::string key = t[i].substr(0, eq), value = t[i].substr(eq + 1);
        if (key == "length")
            ins.length = std::stod(value);
        else if (key == "hit")
            ins.hit = frequencyOf(value);
        else if (keys.count(key))
            *keys[key] = std::stof(value);
        else
            bad(path, line, "unknown key " + key);
    }
    return ins;
}

void readBar(Track& track, const std::vector<std::string>& t, const std::string& path, int line) {
    size_t n = t.size();
    int repeat = 1;
    if (n > 0 && t[n - 1][0] == '*') {
        repeat = std::stoi(t[n - 1].substr(1));
        --n;
    }
    if (n != kStepsPerBar) bad(path, line, "a bar has 16 steps");
    for (int r = 0; r < repeat; ++r)
        track.steps.insert(track.steps.end(), t.begin(), t.begin() + static_cast<long>(n));
}

Song readSong(const std::string& path) {
    std::ifstream in(path);
    if (!in) throw std::runtime_error("cannot read " + path);
    Song song;
    Track* open = nullptr;
    std::string text;
    for (int line = 1; std::getline(in, text); ++line) {
        std::vector<std::string> t = tokensOf(text);
        if (t.empty()) continue;
        const std::string& k = t[0];
        if (k == "tempo" && t.size() == 2)
            song.tempo = std::stod(t[1]);
        else if (k == "bars" && t.size() == 2)
            song.bars = std::stoi(t[1]);
        else if (k == "rate" && t.size() == 2)
            song.rate = std::stoi(t[1]);
        else if (k == "chords") {
            song.chords.emplace_back();
            for (size_t i = 1; i < t.size(); ++i)
                if (t[i] == "|")
                    song.chords.emplace_back();
                else
                    song.chords.back().push_back(t[i]);
        } else if (k == "instrument")
            song.instruments[t.size() > 1 ? t[1] : ""] = readInstrument(t, path, line);
        else if (k == "track") {
            if (t.size() < 2 || !song.instruments.count(t[1]))
                bad(path, line, "track of an unknown instrument");
            song.tracks.push_back(Track{t[1], "", 4, {}});
            open = &song.tracks.back();
            if (t.size() == 5 && t[2] == "style") {
                open->style = t[3];
                open->octave = std::stoi(t[4]);
            } else if (t.size() != 2)
                bad(path, line, "expected: track NAME [style STYLE OCTAVE]");
        } else if (open && open->style.empty())
            readBar(*open, t, path, line);
        else
            bad(path, line, "unexpected line");
    }
    if (song.bars <= 0 || static_cast<int>(song.chords.size()) != song.bars)
        bad(path, 0, "one chord entry per bar is needed");
    for (const Track& tr : song.tracks)
        if (tr.style.empty() && static_cast<int>(tr.steps.size()) != song.steps())
            bad(path, 0, "track " + tr.instrument + " is not the song's length");
    return song;
}

// Chord tones as frequencies: root, third, fifth and the octave above the root.
std::vector<float> chordTones(const std::string& chord, int octave) {
    size_t rootLen = chord.size() > 1 && (chord[1] == '#' || chord[1] == 'b') ? 2 : 1;
    bool minor = chord.size() > rootLen && chord[rootLen] == 'm';
    float root = noteFrequency(chord.substr(0, rootLen) + std::to_string(octave));
    auto up = [root](int semis) { return root * std::pow(2.0f, semis / 12.0f); };
    return {root, up(minor ? 3 : 4), up(7), up(12)};
}

void playSteps(Mix& mix, const Song& song, const Track& tr, const Instrument& ins) {
    double step = song.stepSeconds();
    int n = static_cast<int>(tr.steps.size());
    for (int i = 0; i < n; ++i) {
        const std::string& s = tr.steps[i];
        if (s == "." || s == "-") continue;
        if (s == "x") {
            mix.add(Note{i * step, ins.length, ins.hit, ins.to, ins.voice, 7}, true);
            continue;
        }
        int end = i + 1;
        while (end < n && tr.steps[end] == ".") ++end;
        mix.add(Note{i * step, (end - i) * step * 0.92, noteFrequency(s), 0, ins.voice, 1}, true);
    }
}

// Chord-driven parts: "arp" runs up the chord in sixteenths, "bass" bounces between the root and
// its octave in eighths.
void playStyle(Mix& mix, const Song& song, const Track& tr, const Instrument& ins) {
    double step = song.stepSeconds();
    for (int bar = 0; bar < song.bars; ++bar) {
        const std::vector<std::string>& chords = song.chords[bar];
        int span = kStepsPerBar / static_cast<int>(chords.size());
        for (size_t c = 0; c < chords.size(); ++c) {
            int first = bar * kStepsPerBar + static_cast<int>(c) * span;
            if (tr.style == "arp") {
                std::vector<float> tones = chordTones(chords[c], tr.octave);
                for (int s = 0; s < span; ++s)
                    mix.add(Note{(first + s) * step, step * 0.9, tones[s % 4], 0, ins.voice, 1}, true);
            } else if (tr.style == "bass") {
                for (int s = 0; s < span; s += 2) {
                    float f = chordTones(chords[c], tr.octave + (s / 2) % 2)[0];
                    mix.add(Note{(first + s) * step, 2 * step * 0.85, f, 0, ins.voice, 1}, true);
                }
            } else {
                throw std::runtime_error("unknown style " + tr.style);
            }
        }
    }
}

} // namespace

void writeMusic(const std::string& dataDir, const std::string& songPath) {
    Song song = readSong(songPath);
    Mix mix(song.rate, song.steps() * song.stepSeconds());
    for (const Track& tr : song.tracks) {
        const Instrument& ins = song.instruments.at(tr.instrument);
        if (tr.style.empty())
            playSteps(mix, song, tr, ins);
        else
            playStyle(mix, song, tr, ins);
    }
    mix.normalise(0.8f);
    writeOggVorbis(dataDir + "/sfx/spindrift.ogg", mix, 0.3f);
}

} // namespace assetgen
