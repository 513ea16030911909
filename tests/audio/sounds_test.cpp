// The framework's sound functions, heard through OpenAL Soft's real mixer: sounds and music found in
// the data folder, null sounds, music on its own channel, and channel settings.
#include "framework/audio/audio.h"
#include "wave_device.h"

#include <unistd.h>

namespace {

constexpr int kOneSecond = kRate;
constexpr int kLoud = 4000;
constexpr int kQuiet = 8;

class Sounds : public WaveDeviceTest {
  protected:
    void SetUp() override {
        WaveDeviceTest::SetUp();
        std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe");
        std::filesystem::create_directories(exe.parent_path() / "data");
        dataName = "audio_sounds_" + std::to_string(getpid()) + ".wav";
        dataFile = exe.parent_path() / "data" / dataName;
        writeToneWav(dataFile, {440}, kOneSecond);
    }
    void TearDown() override {
        std::filesystem::remove(dataFile);
        WaveDeviceTest::TearDown();
    }

    // Runs `body` with the framework's functions talking to the fresh device.
    WaveRun RunFramework(const std::function<void(Scenario&)>& body) {
        return Run([&](Scenario& s) {
            vx_audio_SetAudioDevice(s.audio);
            body(s);
        });
    }

    // A tone file in the data folder, reached by its plain name.
    String DataName() const { return String(dataName.c_str()); }

    std::string dataName;
    std::filesystem::path dataFile;
};

TEST_F(Sounds, PlainNamesLoadFromTheDataFolderAndOtherPathsAsTheyAre) {
    String direct = Fixture("direct.wav", {880}, kOneSecond);
    WaveRun run = RunFramework([&](Scenario& s) {
        c_Sound* sound = vx_audio_LoadSound(DataName());
        s.Note(sound != nullptr);
        s.Note(vx_audio_LoadSound(direct) != nullptr);
        s.Note(vx_audio_LoadSound(String(u"no_such_sound.wav")) == nullptr);
        s.Note(vx_audio_PlaySound(sound, 5, 1));
        s.Mix(kSettle);
    });
    EXPECT_EQ(run.notes, (std::vector<int>{1, 1, 1, 0}));
    EXPECT_NEAR(run.output.Crossings(0, kTail), 44, 3) << "the data folder's 440 Hz tone";
    EXPECT_GT(run.output.Peak(0, kTail), kLoud);
}

TEST_F(Sounds, NullSoundsAndSoundsWithoutASamplePlayNothing) {
    WaveRun run = RunFramework([&](Scenario& s) {
        s.Note(vx_audio_PlaySound(nullptr, 0, 0));
        s.Note(vx_audio_PlaySound((new c_Sound)->m_new(nullptr), 1, 1));
        s.Note(s.audio->channels[0].source + s.audio->channels[1].source);
        s.Mix(kSettle);
    });
    EXPECT_EQ(run.notes, (std::vector<int>{0, 0, 0}));
    EXPECT_LT(run.output.Peak(0), kQuiet);
}

TEST_F(Sounds, MusicPlaysOnItsOwnChannelUntilPausedOrStoppedOrReplaced) {
    // Notes: PlayMusic's result, music on channel 32, what the step said, the music state, and
    // sound channel 0's source (none: music never takes a sound channel).
    struct Case {
        const char* name;
        std::function<void(Scenario&)> then;
        std::vector<int> notes;
        bool heard;
    } cases[] = {
        {"left playing", [](Scenario&) {}, {0, 1, 1, 0}, true},
        {"paused", [](Scenario&) { vx_audio_PauseMusic(); }, {0, 1, 2, 0}, false},
        {"paused and resumed",
         [](Scenario& s) {
             vx_audio_PauseMusic();
             s.Mix(kSettle);
             vx_audio_ResumeMusic();
         },
         {0, 1, 1, 0},
         true},
        {"stopped", [](Scenario&) { vx_audio_StopMusic(); }, {0, 1, 0, 0}, false},
        {"replaced by a missing file",
         [](Scenario& s) { s.Note(vx_audio_PlayMusic(String(u"no_such_music.wav"), 1)); },
         {0, 1, -1, 0, 0},
         false},
    };
    for (const Case& c : cases) {
        WaveRun run = RunFramework([&](Scenario& s) {
            s.Note(vx_audio_PlayMusic(DataName(), 1));
            s.Note(s.audio->channels[gxtkAudio::MUSIC_CHANNEL].sample != nullptr);
            s.Mix(kSettle);
            c.then(s);
            s.Note(s.audio->MusicState());
            s.Note(s.audio->channels[0].source);
            s.Mix(kSettle);
        });
        EXPECT_EQ(run.notes, c.notes) << c.name;
        EXPECT_GT(run.output.Peak(0), kLoud) << c.name << ": the music played before";
        if (c.heard) {
            EXPECT_GT(run.output.Peak(0, kTail), kLoud) << c.name;
        } else {
            EXPECT_LT(run.output.Peak(0, kTail), kQuiet) << c.name;
        }
    }
}

// Each setting is made before anything played on the channel and must still hold for the second
// sound played there.
TEST_F(Sounds, ChannelSettingsShapeEverySoundPlayedOnTheChannel) {
    struct Level {
        int left, right, crossings;
    };
    auto play = [&](const std::function<void()>& setting) {
        WaveRun run = RunFramework([&](Scenario& s) {
            setting();
            c_Sound* sound = vx_audio_LoadSound(DataName());
            vx_audio_PlaySound(sound, 2, 0);
            s.Mix(kSettle);
            vx_audio_PlaySound(sound, 2, 1);
            s.Mix(kSettle);
        });
        return Level{run.output.Peak(0, kTail), run.output.Peak(1, kTail), run.output.Crossings(0, kTail)};
    };
    Level plain = play([] {});
    ASSERT_GT(plain.left, kLoud);
    EXPECT_NEAR(plain.right, plain.left, 2) << "straight ahead by default";

    Level half = play([] { vx_audio_SetChannelVolume(2, 0.5f); });
    EXPECT_NEAR(half.left, plain.left / 2, plain.left / 20);
    EXPECT_NEAR(half.right, plain.right / 2, plain.right / 20);

    // The pan is an angle in radians: 1 turns the source about 57 degrees to the right.
    Level right = play([] { vx_audio_SetChannelPan(2, 1.0f); });
    EXPECT_GT(right.right, plain.right);
    EXPECT_LT(right.left * 8, right.right);
    Level left = play([] { vx_audio_SetChannelPan(2, -1.0f); });
    EXPECT_GT(left.left, plain.left);
    EXPECT_LT(left.right * 8, left.left);

    Level fast = play([] { vx_audio_SetChannelRate(2, 2.0f); });
    EXPECT_NEAR(fast.crossings, 2 * plain.crossings, 4);
}

} // namespace
