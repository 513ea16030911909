// The audio device on OpenAL Soft's real mixer: channel states and what they sound like, host
// suspension, sample formats, music decoded ahead, running out of sources, deferred buffer deletion
// and the collector.
#include "devices/audio/audio.h"
#include "devices/audio/music_ahead.h"
#include "wave_device.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <numbers>

namespace {

constexpr int kOneSecond = kRate;
// Half of full scale, as mixed for a sound straight ahead or for one side of a stereo sample, is
// far above this; the mixer's rounding is far below.
constexpr int kLoud = 4000;
constexpr int kQuiet = 8;

bool isDiscarded(ALuint buffer) {
    const auto& queued = gxtkSample::discarded;
    return std::find(queued.begin(), queued.end(), buffer) != queued.end();
}

using AudioDevice = WaveDeviceTest;

TEST_F(AudioDevice, OpeningPrintsOneLineAndGivesOnlyMusicASourceAtOnce) {
    WaveRun run = Run([](Scenario& s) {
        s.Note(s.audio->channels[gxtkAudio::MUSIC_CHANNEL].source != 0);
        s.Note(s.audio->channels[0].source);
        s.audio->SetVolume(3, 0.5f); // a setter makes the source it needs
        s.Note(s.audio->channels[3].source != 0);
        s.Note(s.audio->ChannelState(3));
    });
    EXPECT_EQ(run.child.out, "opening openal device\n");
    EXPECT_EQ(run.notes, (std::vector<int>{1, 0, 1, 0}));
}

TEST_F(AudioDevice, ChannelStatesDecideWhatIsHeard) {
    struct Case {
        const char* name;
        std::function<void(gxtkAudio*, Scenario&)> then;
        int state;
        bool heard;
    } cases[] = {
        {"left playing", [](gxtkAudio*, Scenario&) {}, 1, true},
        {"paused", [](gxtkAudio* a, Scenario&) { a->PauseChannel(0); }, 2, false},
        {"paused and resumed",
         [](gxtkAudio* a, Scenario& s) {
             a->PauseChannel(0);
             s.Mix(kSettle);
             a->ResumeChannel(0);
         },
         1, true},
        {"stopped", [](gxtkAudio* a, Scenario&) { a->StopChannel(0); }, 0, false},
        {"paused, stopped, then resumed",
         [](gxtkAudio* a, Scenario&) {
             a->PauseChannel(0);
             a->StopChannel(0);
             a->ResumeChannel(0);
         },
         0, false},
    };
    String tone = Fixture("tone.wav", {440}, kOneSecond);
    for (const Case& c : cases) {
        WaveRun run = Run([&](Scenario& s) {
            s.audio->PlaySample(s.audio->LoadSample(tone), 0, 1);
            s.Note(s.audio->ChannelState(0));
            s.Mix(kSettle);
            c.then(s.audio, s);
            s.Note(s.audio->ChannelState(0));
            s.Mix(kSettle);
        });
        EXPECT_EQ(run.notes, (std::vector<int>{1, c.state})) << c.name;
        EXPECT_GT(run.output.Peak(0), kLoud) << c.name << ": the sound played before";
        if (c.heard) {
            EXPECT_GT(run.output.Peak(0, kTail), kLoud) << c.name;
        } else {
            EXPECT_LT(run.output.Peak(0, kTail), kQuiet) << c.name;
        }
    }
}

TEST_F(AudioDevice, OneShotThatEndedIsSeenStoppedAndStaysStopped) {
    String blip = Fixture("blip.wav", {440}, kOneSecond / 20);
    WaveRun run = Run([&](Scenario& s) {
        s.audio->PlaySample(s.audio->LoadSample(blip), 0, 0);
        s.WaitForEnd(0);
        s.Note(s.audio->channels[0].state); // not noticed until asked
        s.audio->PauseChannel(0);
        s.Note(s.audio->ChannelState(0));
        s.audio->ResumeChannel(0);
        s.Note(s.audio->ChannelState(0));
        s.Mix(kSettle);
    });
    EXPECT_EQ(run.notes, (std::vector<int>{1, 0, 0}));
    EXPECT_GT(run.output.Peak(0), kLoud);
    EXPECT_LT(run.output.Peak(0, kTail), kQuiet);
}

TEST_F(AudioDevice, FlagsZeroPlaysOnceAnyOtherValueLoops) {
    String blip = Fixture("blip.wav", {440}, kOneSecond / 20);
    for (int flags : {0, 1, -1}) {
        WaveRun run = Run([&](Scenario& s) {
            s.audio->PlaySample(s.audio->LoadSample(blip), 0, flags);
            s.Mix(kSettle); // four times the blip's length
            s.Note(s.audio->ChannelState(0));
        });
        bool loops = flags != 0;
        EXPECT_EQ(run.notes, (std::vector<int>{loops})) << "flags " << flags;
        EXPECT_GT(run.output.Peak(0), kLoud) << "flags " << flags;
        if (loops) {
            EXPECT_GT(run.output.Peak(0, kTail), kLoud) << "flags " << flags;
        } else {
            EXPECT_LT(run.output.Peak(0, kTail), kQuiet) << "flags " << flags;
        }
    }
}

// Stereo output cannot tell a source ahead from one behind, so the direction is read back.
TEST_F(AudioDevice, PanTurnsTheSourceByThatManyRadiansFromStraightAhead) {
    const float pans[] = {0.0f, 1.0f, -1.0f, float(std::numbers::pi / 2), float(std::numbers::pi)};
    WaveRun run = Run([&](Scenario& s) {
        for (float pan : pans) {
            s.audio->SetPan(4, pan);
            ALfloat x = 9, y = 9, z = 9;
            alGetSource3f(s.audio->channels[4].source, AL_POSITION, &x, &y, &z);
            for (ALfloat v : {x, y, z}) s.Note(int(std::lround(v * 1000)));
        }
    });
    EXPECT_EQ(run.notes,
              (std::vector<int>{0, 0, -1000, 841, 0, -540, -841, 0, -540, 1000, 0, 0, 0, 0, 1000}));
}

TEST_F(AudioDevice, PlayingOnABusyChannelRestartsItWithTheNewSample) {
    String low = Fixture("low.wav", {440}, kOneSecond);
    String high = Fixture("high.wav", {880}, kOneSecond);
    WaveRun run = Run([&](Scenario& s) {
        s.audio->PlaySample(s.audio->LoadSample(low), 0, 1);
        s.Mix(kSettle);
        s.audio->PlaySample(s.audio->LoadSample(high), 0, 1);
        s.Note(s.audio->ChannelState(0));
        s.Mix(kSettle);
    });
    EXPECT_EQ(run.notes, (std::vector<int>{1}));
    // 880 Hz over a tenth of a second: 88 rising zero crossings (440 Hz would give 44).
    EXPECT_NEAR(run.output.Crossings(0, kTail), 88, 3);
}

TEST_F(AudioDevice, EveryPlayableSampleLayoutSoundsAtItsOwnPitch) {
    struct Case {
        const char* name;
        std::vector<double> hertz;
        int bits;
        bool heard;
    } cases[] = {
        {"mono 8-bit", {440}, 8, true},
        {"stereo 8-bit", {440, 440}, 8, true},
        {"mono 16-bit", {440}, 16, true},
        {"stereo 16-bit", {440, 440}, 16, true},
        {"mono 24-bit: loaded, but OpenAL has no format for it", {440}, 24, false},
    };
    for (const Case& c : cases) {
        String path = Fixture("layout.wav", c.hertz, kOneSecond, c.bits);
        WaveRun run = Run([&](Scenario& s) {
            gxtkSample* sample = s.audio->LoadSample(path);
            s.Note(sample != nullptr);
            s.audio->PlaySample(sample, 0, 1);
            s.Mix(kSettle);
        });
        EXPECT_EQ(run.notes, (std::vector<int>{1})) << c.name;
        for (int side : {0, 1}) {
            if (c.heard) {
                EXPECT_GT(run.output.Peak(side, kTail), kLoud) << c.name;
                EXPECT_NEAR(run.output.Crossings(side, kTail), 44, 3) << c.name;
            } else {
                EXPECT_LT(run.output.Peak(side), kQuiet) << c.name;
            }
        }
    }
}

// The sound plays on the left only, the music on the right only.
TEST_F(AudioDevice, HostResumeLeavesChannelsThatTheProgramPausedPaused) {
    String left = Fixture("left.wav", {440, 0}, kOneSecond);
    String right = Fixture("right.wav", {0, 440}, kOneSecond);
    for (bool resumed : {false, true}) {
        WaveRun run = Run([&](Scenario& s) {
            s.audio->PlaySample(s.audio->LoadSample(left), 0, 1);
            s.audio->PlayMusic(right, 1);
            s.Mix(kSettle);
            s.audio->PauseMusic();
            s.audio->Suspend();
            s.Note(s.audio->ChannelState(0));
            if (resumed) s.audio->Resume();
            s.Note(s.audio->MusicState());
            s.Mix(kSettle);
        });
        EXPECT_EQ(run.notes, (std::vector<int>{1, 2})) << "resumed " << resumed;
        EXPECT_GT(run.output.Peak(1), kLoud) << "the music played before";
        EXPECT_LT(run.output.Peak(1, kTail), kQuiet) << "resumed " << resumed;
        if (resumed) {
            EXPECT_GT(run.output.Peak(0, kTail), kLoud);
        } else {
            EXPECT_LT(run.output.Peak(0, kTail), kQuiet);
        }
    }
}

// The current music is decoded once: starting it again plays the kept sample, even with its file
// gone; another track replaces it, and a track that cannot be loaded leaves no music kept.
TEST_F(AudioDevice, StartingTheSameMusicAgainDoesNotDecodeItAgain) {
    String left = Fixture("left.wav", {440, 0}, kOneSecond);
    String right = Fixture("right.wav", {0, 440}, kOneSecond);
    std::filesystem::path leftFile = dir / "left.wav";
    WaveRun run = Run([&](Scenario& s) {
        gxtkAudio* a = s.audio;
        s.Note(a->PlayMusic(left, 1));
        gxtkSample* kept = a->musicSample;
        std::filesystem::remove(leftFile);
        s.Note(a->PlayMusic(left, 1));
        s.Note(a->musicSample == kept && a->channels[gxtkAudio::MUSIC_CHANNEL].sample == kept);
        s.Note(a->MusicState());
        s.Mix(kSettle);
        s.Note(a->PlayMusic(right, 1));
        s.Note(a->musicSample != kept);
        s.Note(a->PlayMusic(left, 1)); // its file is gone now
        s.Note(a->musicSample == nullptr);
        s.Note(a->MusicState());
        s.Note(a->PlayMusic(right, 1));
        s.Mix(kSettle);
    });
    EXPECT_EQ(run.notes, (std::vector<int>{0, 0, 1, 1, 0, 1, -1, 1, 0, 0}));
    EXPECT_GT(run.output.Peak(0), kLoud) << "the kept left track played";
    EXPECT_GT(run.output.Peak(1, kTail), kLoud) << "the right track plays at the end";
    EXPECT_LT(run.output.Peak(0, kTail), kQuiet);
}

// The loader has the round's track decoded on a worker while its other steps run: preparing it
// then takes what the worker decoded, even with the file gone by then, and plays it as the current
// music. A track that cannot be decoded ahead cannot be prepared either.
TEST_F(AudioDevice, PreparingMusicTakesWhatWasDecodedAhead) {
    String left = Fixture("left.wav", {440, 0}, kOneSecond);
    String missing = String((dir / "missing.wav").c_str());
    WaveRun run = Run([&](Scenario& s) {
        gxtkAudio* a = s.audio;
        a->DecodeMusicAhead(left);
        vxMusicAhead().Finish();
        std::filesystem::remove(dir / "left.wav");
        s.Note(a->PrepareMusic(left));
        gxtkSample* prepared = a->musicSample;
        s.Note(a->PlayMusic(left, 1));
        s.Note(a->musicSample == prepared && prepared != nullptr);
        s.Mix(kSettle);
        a->DecodeMusicAhead(missing);
        s.Note(a->PrepareMusic(missing));
    });
    EXPECT_EQ(run.notes, (std::vector<int>{0, 0, 1, -1}));
    EXPECT_GT(run.output.Peak(0, kTail), kLoud) << "the track decoded ahead plays";
    EXPECT_LT(run.output.Peak(1, kTail), kQuiet);
}

TEST_F(AudioDevice, WithoutFreeSourcesAChannelTakesTheSourceOfAStoppedOne) {
    String tone = Fixture("tone.wav", {440}, kOneSecond);
    String blip = Fixture("blip.wav", {440}, kOneSecond / 20);
    // Four sources: music, the test's mixer clock, and two for sounds.
    WaveRun run = Run(
        [&](Scenario& s) {
            s.Mix(1);
            gxtkAudio* a = s.audio;
            a->PlaySample(a->LoadSample(tone), 0, 1);
            a->PlaySample(a->LoadSample(blip), 1, 0);
            ALuint second = a->channels[1].source;
            s.WaitForEnd(1);
            s.Note(a->PlaySample(a->LoadSample(tone), 2, 1));
            s.Note(a->channels[2].source == second && second != 0);
            s.Note(a->channels[1].source);
            s.Note(a->PlaySample(a->LoadSample(tone), 3, 1)); // nothing left to take
            a->SetVolume(3, 0.5f);                            // harmless without a source
            s.Note(a->ChannelState(3));
            s.Note(a->ChannelState(0));
            s.Note(a->ChannelState(2));
            // Music got its source at opening, so the sounds cannot have left it without one.
            s.Note(a->PlayMusic(tone, 1));
            s.Note(a->MusicState());
        },
        "sources=4");
    EXPECT_EQ(run.notes, (std::vector<int>{0, 1, 0, -1, 0, 1, 1, 0, 1}));
}

TEST_F(AudioDevice, DiscardedBufferIsDeletedOnceNoSourceHoldsIt) {
    String tone = Fixture("tone.wav", {440}, kOneSecond);
    WaveRun run = Run([&](Scenario& s) {
        gxtkAudio* a = s.audio;
        // A load that fails flushes without making a buffer that could reuse a deleted name.
        auto flush = [a] { a->LoadSample(String(u"missing.wav")); };
        // Discarded while it plays: kept until it has ended by itself.
        gxtkSample* once = a->LoadSample(tone);
        ALuint onceBuffer = once->buffer;
        a->PlaySample(once, 0, 0);
        once->Discard();
        s.Note(once->buffer);
        flush();
        s.Note(alIsBuffer(onceBuffer));
        s.WaitForEnd(0);
        flush();
        s.Note(alIsBuffer(onceBuffer));
        // Left on a channel stopped by the program: kept until the channel plays something else.
        gxtkSample* looped = a->LoadSample(tone);
        ALuint loopedBuffer = looped->buffer;
        a->PlaySample(looped, 1, 1);
        a->StopChannel(1);
        looped->Discard();
        flush();
        s.Note(alIsBuffer(loopedBuffer));
        a->PlaySample(a->LoadSample(tone), 1, 1);
        flush();
        s.Note(alIsBuffer(loopedBuffer));
        s.Note(int(gxtkSample::discarded.size()));
    });
    EXPECT_EQ(run.notes, (std::vector<int>{0, 1, 0, 1, 0, 0}));
}

TEST_F(AudioDevice, SamplesStayAliveWhileTheyAreHeard) {
    String tone = Fixture("tone.wav", {440}, kOneSecond);
    WaveRun run = Run([&](Scenario& s) {
        gxtkAudio* a = s.audio;
        gxtkSample* heard = a->LoadSample(tone);
        gxtkSample* silenced = a->LoadSample(tone);
        ALuint heardBuffer = heard->buffer;
        ALuint silencedBuffer = silenced->buffer;
        a->PlaySample(heard, 0, 1);
        a->PlaySample(silenced, 1, 1);
        a->StopChannel(1);
        // Only the device references the samples now; end three cycles, each time allocating until
        // every dead object has been destroyed.
        for (int cycle = 0; cycle < 3; ++cycle) {
            gc_ext_malloced(gc_cycle_bytes + 1);
            gc_collect_step(nullptr);
            while (gc_free_bytes > 0) new Object;
        }
        s.Note(isDiscarded(heardBuffer));
        s.Note(isDiscarded(silencedBuffer));
        s.Note(a->channels[0].sample->buffer == heardBuffer);
        s.Mix(kSettle);
    });
    EXPECT_EQ(run.notes, (std::vector<int>{0, 1, 1}));
    EXPECT_GT(run.output.Peak(0, kTail), kLoud);
}

} // namespace
