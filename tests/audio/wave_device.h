// Sound tests on OpenAL Soft's real mixer: its wave back end writes the mixed output to a file, which
// is complete once the device is closed. Each scenario therefore runs in a forked child that opens
// the audio device, plays, closes the device and exits; the parent then reads what was heard.
//
// The mixer runs in real time on its own thread, so a scenario waits for it with Mix(frames): a
// silent probe source counts the frames mixed since the call. Anything the scenario did before
// Mix is then in the output, and the last frames of the file show the state it left.
#pragma once

#include "devices/audio/audio.h"
#include "host/game.h"
#include "tests/support/child_process.h"
#include "tests/support/temp_dir.h"

#include <AL/al.h>
#include <AL/alc.h>
#include <AL/alext.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <numbers>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

inline constexpr int kRate = 44100;
// Long enough for several mixer updates (512 frames each), so that the last kTail frames show
// only what the scenario left playing.
inline constexpr int kSettle = 8820;
inline constexpr int kTail = 4410;

// A PCM WAV of sine tones at half of full scale, one frequency per channel (0 = silence), with 8
// (unsigned), 16 or 24 bits per sample.
inline void writeToneWav(const std::filesystem::path& path, std::vector<double> hertz, int frames,
                         int bits = 16) {
    auto le = [](uint32_t value, int bytes) {
        std::string out;
        for (int i = 0; i < bytes; ++i) out += char(value >> (8 * i) & 0xFF);
        return out;
    };
    int channels = int(hertz.size());
    int bytes = bits / 8;
    std::string data;
    for (int i = 0; i < frames; ++i) {
        for (double f : hertz) {
            double wave = 0.5 * std::sin(2 * std::numbers::pi * f * i / kRate);
            if (bytes == 1) {
                data += le(uint32_t(128 + std::lround(127 * wave)), 1);
            } else {
                data += le(uint32_t(std::lround(wave * ((1 << (bits - 1)) - 1))), bytes);
            }
        }
    }
    int block = channels * bytes;
    std::string fmt =
        le(1, 2) + le(channels, 2) + le(kRate, 4) + le(kRate * block, 4) + le(block, 2) + le(bits, 2);
    std::string body = "WAVE" + ("fmt " + le(16, 4) + fmt) + ("data" + le(uint32_t(data.size()), 4) + data);
    writeFile(path, "RIFF" + le(uint32_t(body.size()), 4) + body);
}

// The device's stereo 16-bit output.
class MixedOutput {
  public:
    explicit MixedOutput(const std::string& bytes) {
        std::size_t at = 12;
        while (at + 8 <= bytes.size()) {
            std::string tag = bytes.substr(at, 4);
            uint32_t size = read32(bytes, at + 4);
            if (tag == "fmt ") {
                channels = read16(bytes, at + 10);
                bits = read16(bytes, at + 22);
            } else if (tag == "data") {
                std::size_t count = std::min<std::size_t>(size, bytes.size() - at - 8) / 2;
                for (std::size_t i = 0; i < count; ++i)
                    samples.push_back(int16_t(read16(bytes, at + 8 + 2 * i)));
                return;
            }
            at += 8 + size;
        }
    }

    int channels = 0;
    int bits = 0;

    int Frames() const { return int(samples.size()) / 2; }
    // Largest magnitude on one side (0 left, 1 right) over the last `frames` frames (all by default).
    int Peak(int side, int frames = -1) const {
        int peak = 0;
        for (int i = first(frames); i < Frames(); ++i) peak = std::max(peak, std::abs(int(at(i, side))));
        return peak;
    }
    // Upward zero crossings on one side over the last `frames` frames: a tone's frequency.
    int Crossings(int side, int frames) const {
        int count = 0;
        for (int i = first(frames) + 1; i < Frames(); ++i) count += at(i - 1, side) < 0 && at(i, side) >= 0;
        return count;
    }

  private:
    static uint32_t read16(const std::string& b, std::size_t i) {
        return uint8_t(b[i]) | uint32_t(uint8_t(b[i + 1])) << 8;
    }
    static uint32_t read32(const std::string& b, std::size_t i) {
        return read16(b, i) | read16(b, i + 2) << 16;
    }
    int first(int frames) const { return frames < 0 ? 0 : std::max(0, Frames() - frames); }
    int16_t at(int frame, int side) const { return samples[std::size_t(2 * frame + side)]; }

    std::vector<int16_t> samples;
};

// What a scenario sees inside the child.
class Scenario {
  public:
    explicit Scenario(gxtkAudio* device) : audio(device) {}

    gxtkAudio* audio;
    std::vector<int> notes;

    // Reported to the parent, in order.
    void Note(int value) { notes.push_back(value); }

    // Returns once the mixer has mixed at least `frames` more frames.
    void Mix(int frames) {
        if (probe == 0) startProbe();
        auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        ALint last = probeOffset();
        for (long mixed = 0; mixed < frames;) {
            if (std::chrono::steady_clock::now() > giveUp) {
                std::fputs("the mixer did not advance\n", stderr);
                std::abort();
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
            ALint now = probeOffset();
            mixed += (now - last + kRate) % kRate;
            last = now;
        }
    }

    // Waits until the source of a channel has played to its end, without asking the device.
    void WaitForEnd(int channel) {
        for (;;) {
            ALint state = AL_STOPPED;
            alGetSourcei(audio->channels[channel].source, AL_SOURCE_STATE, &state);
            if (state == AL_STOPPED) return;
            Mix(512);
        }
    }

  private:
    // One second of silence, looping: its offset is the mixer's clock.
    void startProbe() {
        std::vector<int16_t> silence(kRate);
        alGenBuffers(1, &probeBuffer);
        alBufferData(probeBuffer, AL_FORMAT_MONO16, silence.data(), ALsizei(silence.size() * 2), kRate);
        alGenSources(1, &probe);
        alSourcei(probe, AL_BUFFER, ALint(probeBuffer));
        alSourcei(probe, AL_LOOPING, AL_TRUE);
        alSourcePlay(probe);
    }
    ALint probeOffset() const {
        ALint offset = 0;
        alGetSourcei(probe, AL_SAMPLE_OFFSET, &offset);
        return offset;
    }

    ALuint probe = 0;
    ALuint probeBuffer = 0;
};

struct WaveRun {
    ChildResult child;
    std::vector<int> notes;
    MixedOutput output;
};

// OpenAL Soft writing 16-bit stereo at 44.1 kHz into `out`; `general` adds settings.
inline std::string waveConfig(const std::filesystem::path& out, const std::string& general = "") {
    return "[general]\ndrivers=wave\nchannels=stereo\nsample-type=int16\nfrequency=44100\n"
           "period_size=512\n" +
           general + "\n[wave]\nfile=" + out.string() + "\n";
}

// Stops the mixer first, so that the silence of a torn-down context never reaches the file.
inline void closeDevice(gxtkAudio* audio) {
    ALCdevice* device = audio->alcDevice;
    if (!device) return;
    auto pause = reinterpret_cast<LPALCDEVICEPAUSESOFT>(alcGetProcAddress(device, "alcDevicePauseSOFT"));
    if (pause) pause(device);
    alcMakeContextCurrent(nullptr);
    if (audio->alcContext) alcDestroyContext(audio->alcContext);
    alcCloseDevice(device);
}

// Runs `body` in a child on a fresh audio device configured by `config` (written to the working
// directory; empty: no configuration at all), then closes the device so that its output file is
// complete.
inline WaveRun runOnDevice(const std::string& config, const std::function<void(Scenario&)>& body) {
    std::filesystem::path dir = std::filesystem::current_path();
    writeFile(dir / "alsoft.conf", config);
    std::filesystem::remove(dir / "notes");
    std::filesystem::remove(dir / "out.wav");
    WaveRun run{RunInChild([&] {
                    if (config.empty()) {
                        unsetenv("ALSOFT_CONF");
                    } else {
                        setenv("ALSOFT_CONF", (dir / "alsoft.conf").c_str(), 1);
                    }
                    unsetenv("ALSOFT_DRIVERS");
                    VxGlfwGame host;
                    host.Install();
                    Scenario scenario(new gxtkAudio);
                    body(scenario);
                    closeDevice(scenario.audio);
                    std::string notes;
                    for (int n : scenario.notes) notes += std::to_string(n) + "\n";
                    writeFile(dir / "notes", notes);
                    std::exit(0);
                }),
                {},
                MixedOutput(readFile(dir / "out.wav"))};
    std::istringstream notes(readFile(dir / "notes"));
    for (int n; notes >> n;) run.notes.push_back(n);
    return run;
}

// The wave device, in a fresh temporary working directory.
class WaveDeviceTest : public TempDirTest {
  protected:
    WaveRun Run(const std::function<void(Scenario&)>& body, const std::string& general = "") {
        WaveRun run = runOnDevice(waveConfig(dir / "out.wav", general), body);
        EXPECT_EQ(run.child.status, 0) << run.child.err;
        EXPECT_EQ(run.output.channels, 2);
        EXPECT_EQ(run.output.bits, 16);
        return run;
    }
    // A tone file in the working directory; its full path.
    String Fixture(const std::string& name, std::vector<double> hertz, int frames, int bits = 16) {
        writeToneWav(dir / name, std::move(hertz), frames, bits);
        return String((dir / name).c_str());
    }
};
