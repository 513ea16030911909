// The game's effects and music heard through OpenAL Soft's real mixer. Each scenario runs in a child
// that points OpenAL at the wave back end before the game's devices exist, plays, closes the device
// so that the file is complete, and exits; the test then reads what was heard.
#include "game_harness.h"
#include "tests/audio/wave_device.h"

#include <AL/al.h>

namespace {

using gametest::App;

constexpr int kLoud = 2000;
constexpr int kQuiet = 8;

class GameSound : public TempDirTest {
  protected:
    void SetUp() override {
        TempDirTest::SetUp();
        writeToneWav(dir / "tone.wav", {440}, kRate);
        writeToneWav(dir / "hush.wav", {0}, kRate / 10);
    }

    // Runs `body` in a child on a fresh game whose audio device writes to out.wav.
    WaveRun Play(const std::function<void(c_MyApp*, Scenario&)>& body) {
        writeFile(dir / "alsoft.conf", waveConfig(dir / "out.wav"));
        ChildResult child = RunInChild([&] {
            setenv("ALSOFT_CONF", (dir / "alsoft.conf").c_str(), 1);
            unsetenv("ALSOFT_DRIVERS");
            c_MyApp* app = gametest::FreshApp();
            Scenario scenario(vx_audio_device.get());
            body(app, scenario);
            closeDevice(scenario.audio);
            std::string notes;
            for (int n : scenario.notes) notes += std::to_string(n) + "\n";
            writeFile(dir / "notes", notes);
            std::exit(0);
        });
        EXPECT_EQ(child.status, 0) << child.err;
        WaveRun run{child, {}, MixedOutput(readFile(dir / "out.wav"))};
        std::istringstream notes(readFile(dir / "notes"));
        for (int n; notes >> n;) run.notes.push_back(n);
        return run;
    }

    // A sound of the working folder in effect slot n.
    static void PutEffect(c_MyApp* app, int n, const char* file) {
        gc_assign(app->m_Sfx[n], vx_audio_LoadSound(String(std::filesystem::absolute(file).c_str())));
    }
};

TEST_F(GameSound, EffectsAreHeardInTheModesWithEffects) {
    struct Case {
        int mode;
        bool heard;
    } cases[] = {
        {SoundOff, false}, {SoundEffectsAndMusic, true}, {SoundEffectsOnly, true}, {SoundMusicOnly, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.mode);
        WaveRun run = Play([&](c_MyApp* app, Scenario& s) {
            app->m_Setting[SetSoundMode] = c.mode;
            PutEffect(app, 42, "tone.wav");
            app->p_PlaySFX(42, 1, 1, 0);
            s.Note(app->m_SfxSlot);
            s.Mix(kSettle);
        });
        EXPECT_EQ(run.notes, std::vector<int>{c.heard ? 1 : 0})
            << "the rotation moves only for a sound played";
        if (c.heard) {
            EXPECT_GT(run.output.Peak(0, kTail), kLoud);
            EXPECT_NEAR(run.output.Crossings(0, kTail), 44, 3);
        } else {
            EXPECT_LT(run.output.Peak(0), kQuiet);
        }
    }
}

TEST_F(GameSound, TheEffectTakesItsRateVolumeAndPan) {
    auto play = [&](float rate, float volume, float pan) {
        return Play([&](c_MyApp* app, Scenario& s) {
            PutEffect(app, 3, "tone.wav");
            app->p_PlaySFX(3, rate, volume, pan);
            s.Mix(kSettle);
        });
    };
    WaveRun plain = play(1, 1, 0);
    WaveRun shaped = play(2, 0.5f, 1);
    ASSERT_GT(plain.output.Peak(1, kTail), kLoud);
    EXPECT_NEAR(plain.output.Peak(0, kTail), plain.output.Peak(1, kTail), 2) << "pan 0 is straight ahead";
    EXPECT_NEAR(shaped.output.Crossings(1, kTail), 2 * plain.output.Crossings(1, kTail), 4) << "rate 2";
    EXPECT_LT(shaped.output.Peak(1, kTail), plain.output.Peak(1, kTail)) << "volume 0.5";
    EXPECT_LT(shaped.output.Peak(0, kTail) * 8, shaped.output.Peak(1, kTail)) << "pan 1 turns it right";
}

// The first effect goes to channel 1 and sounds for a second; quiet effects follow. The 24 channels
// in rotation leave it playing through the 24th effect; the 25th takes its channel.
TEST_F(GameSound, TheTwentyFifthEffectCutsOffTheFirst) {
    for (int effects : {24, 25}) {
        SCOPED_TRACE(effects);
        WaveRun run = Play([&](c_MyApp* app, Scenario& s) {
            PutEffect(app, 1, "tone.wav");
            PutEffect(app, 2, "hush.wav");
            app->p_PlaySFX(1, 1, 1, 0);
            for (int i = 1; i < effects; ++i) app->p_PlaySFX(2, 1, 1, 0);
            app->p_PlaySFX(77, 1, 1, 0); // an empty slot plays nothing and keeps the rotation
            s.Note(app->m_SfxSlot);
            s.Note(s.audio->channels[1].sample == app->m_Sfx[1]->m_sample);
            s.Mix(kSettle);
        });
        if (effects == 24) {
            EXPECT_EQ(run.notes, (std::vector<int>{0, 1}));
            EXPECT_GT(run.output.Peak(0, kTail), kLoud);
        } else {
            EXPECT_EQ(run.notes, (std::vector<int>{1, 0}));
            EXPECT_LT(run.output.Peak(0, kTail), kQuiet);
        }
    }
}

// Every case first starts the round's track with effects and music on, then does its steps.
TEST_F(GameSound, MusicFollowsTheSoundMode) {
    struct Case {
        const char* name;
        std::function<void(c_MyApp*)> then;
        bool heard;
        int playing;
    } cases[] = {
        {"left playing", [](c_MyApp*) {}, true, 1},
        {"asked again with music only",
         [](c_MyApp* app) {
             app->m_Setting[SetSoundMode] = SoundMusicOnly;
             app->p_PlayTune(String(u"spindrift"), 1);
         },
         true, 1},
        {"asked again with effects only",
         [](c_MyApp* app) {
             app->m_Setting[SetSoundMode] = SoundEffectsOnly;
             app->p_PlayTune(String(u"spindrift"), 1);
         },
         false, 0},
        {"asked again with sound off",
         [](c_MyApp* app) {
             app->m_Setting[SetSoundMode] = SoundOff;
             app->p_PlayTune(String(u"spindrift"), 1);
         },
         false, 0},
        {"the last track comes back with music only",
         [](c_MyApp* app) {
             app->m_Setting[SetSoundMode] = SoundEffectsOnly;
             app->p_PlayTune(String(u"spindrift"), 1);
             app->m_Setting[SetSoundMode] = SoundMusicOnly;
             app->p_PlayTune(String(u"-1"), 1);
         },
         true, 1},
        {"stopped", [](c_MyApp* app) { app->p_StopTune(); }, false, 0},
        {"no music stream",
         [](c_MyApp* app) {
             app->p_StopTune();
             HasMusicStream = 0;
             app->p_PlayTune(String(u"spindrift"), 1);
         },
         false, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WaveRun run = Play([&](c_MyApp* app, Scenario& s) {
            app->p_PlayTune(String(u"spindrift"), 1);
            s.Note(s.audio->channels[gxtkAudio::MUSIC_CHANNEL].flags);
            s.Mix(kSettle);
            c.then(app);
            s.Note(app->m_TunePlaying);
            s.Note(app->m_LastTune == String(u"spindrift"));
            s.Note(s.audio->MusicState());
            s.Mix(kSettle);
        });
        EXPECT_GT(run.output.Peak(0), kLoud) << "the track played at first";
        EXPECT_EQ(run.notes, (std::vector<int>{1, c.playing, 1, c.playing}))
            << "looping, playing, last track, state";
        if (c.heard) {
            EXPECT_GT(run.output.Peak(0, kTail), kLoud);
        } else {
            EXPECT_LT(run.output.Peak(0, kTail), kQuiet);
        }
    }
}

// The update pauses the music while the round is paused and resumes it after.
TEST_F(GameSound, MusicPausesWithTheRound) {
    struct Case {
        const char* name;
        std::vector<int> paused;
        bool heard;
    } cases[] = {{"paused", {1}, false}, {"paused and resumed", {1, 0}, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WaveRun run = Play([&](c_MyApp* app, Scenario& s) {
            app->m_Setting[SetSoundMode] = SoundOff; // no start-up jingle while the loader runs
            gametest::FinishLoading();
            app->m_Setting[SetSoundMode] = SoundEffectsAndMusic;
            app->p_PlayTune(String(u"spindrift"), 1);
            s.Mix(kSettle);
            for (int paused : c.paused) {
                app->m_Paused = paused;
                gametest::Update();
                s.Note(s.audio->MusicState());
                s.Mix(kSettle);
            }
        });
        EXPECT_GT(run.output.Peak(0), kLoud) << "the track played at first";
        EXPECT_EQ(run.notes, c.heard ? (std::vector<int>{2, 1}) : (std::vector<int>{2}));
        if (c.heard) {
            EXPECT_GT(run.output.Peak(0, kTail), kLoud);
        } else {
            EXPECT_LT(run.output.Peak(0, kTail), kQuiet);
        }
    }
}

// Slot n comes from the data folder's sfx/nnn.wav: the same buffer size as loading that file.
// A reload replaces every effect: the old buffers are deleted, not kept beside the new ones, while
// the round's music stays the one decoded buffer it was.
TEST_F(GameSound, AReloadDeletesTheBuffersOfTheEffectsItReplaces) {
    WaveRun run = Play([&](c_MyApp* app, Scenario& s) {
        // No start-up jingle: a buffer still playing is deleted only once it has stopped, which
        // would make the count below depend on how fast the mixer runs.
        app->m_Setting[SetSoundMode] = SoundOff;
        gametest::FinishLoading();
        gxtkSample* old = app->m_Sfx[SfxJump]->m_sample;
        const bool hadBuffer = old->buffer != 0;
        gxtkSample* music = s.audio->musicSample;
        app->p_Reload();
        gametest::FinishLoading();
        app->m_Setting[SetSoundMode] = SoundEffectsAndMusic;
        app->p_PlaySFX(SfxJump, 1, 1, 0); // deletes what the last step let go of
        s.notes = {int(hadBuffer), int(old->buffer), int(gxtkSample::discarded.size()),
                   int(app->m_Sfx[SfxJump]->m_sample->buffer != 0),
                   int(music && s.audio->musicSample == music)};
    });
    EXPECT_EQ(run.notes, (std::vector<int>{1, 0, 0, 1, 1}));
}

TEST_F(GameSound, EffectSlotsLoadTheirThreeDigitFiles) {
    WaveRun run = Play([&](c_MyApp* app, Scenario& s) {
        auto size = [](c_Sound* sound) {
            ALint bytes = -1;
            if (sound) alGetBufferi(sound->m_sample->buffer, AL_SIZE, &bytes);
            return int(bytes);
        };
        for (int n : {7, 96}) {
            app->p_LoadSFX(n);
            s.Note(size(app->m_Sfx[n]));
        }
        s.Note(size(vx_audio_LoadSound(String(u"sfx/007.wav"))));
        s.Note(size(vx_audio_LoadSound(String(u"sfx/096.wav"))));
        app->p_LoadSFX(-1);
        app->p_LoadSFX(100);
        app->p_LoadSFX(50);
        s.Note(app->m_Sfx[50] == nullptr);
    });
    ASSERT_EQ(run.notes.size(), 5u);
    EXPECT_GT(run.notes[0], 0);
    EXPECT_NE(run.notes[0], run.notes[1]) << "the two files differ, so the sizes tell them apart";
    EXPECT_EQ(run.notes[0], run.notes[2]);
    EXPECT_EQ(run.notes[1], run.notes[3]);
    EXPECT_EQ(run.notes[4], 1) << "no file for slot 50";
}

} // namespace
