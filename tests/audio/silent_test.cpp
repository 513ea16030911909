// Without a sound device the audio device says so and the program goes on silent: every call
// returns, nothing plays, and nothing crashes.
#include "framework/audio/audio.h"
#include "wave_device.h"

namespace {

class Silent : public TempDirTest {
  protected:
    // Every operation of the device and of the framework, noting what can be seen.
    WaveRun RunWithoutSound(const std::string& config) {
        String tone = String((dir / "tone.wav").c_str());
        writeToneWav(dir / "tone.wav", {440}, 4410);
        return runOnDevice(config, [&](Scenario& s) {
            gxtkAudio* a = s.audio;
            s.Note(a->alcDevice == nullptr && a->alcContext == nullptr);
            gxtkSample* sample = a->LoadSample(tone); // decoded, but OpenAL has no buffer for it
            s.Note(sample != nullptr && sample->buffer == 0);
            s.Note(a->PlaySample(sample, 0, 1));
            a->SetVolume(0, 0.5f);
            a->SetPan(0, 1.0f);
            a->SetRate(0, 2.0f);
            a->PauseChannel(0);
            a->ResumeChannel(0);
            a->StopChannel(0);
            a->Suspend();
            a->Resume();
            s.Note(a->ChannelState(0));
            s.Note(a->PlayMusic(tone, 1));
            a->SetMusicVolume(0.5f);
            a->PauseMusic();
            a->ResumeMusic();
            s.Note(a->MusicState());
            sample->Discard();
            vx_audio_SetAudioDevice(a);
            s.Note(vx_audio_PlaySound(vx_audio_LoadSound(tone), 1, 0));
            s.Note(vx_audio_PlayMusic(String(u"no_such_music.wav"), 0));
        });
    }
};

const std::vector<int> kSilentNotes{1, 1, -1, 0, 0, 0, 0, -1};

TEST_F(Silent, ABackEndThatCannotOpenLeavesTheProgramSilent) {
    // The wave back end fails to open when it cannot create its file.
    WaveRun run = RunWithoutSound(
        "[general]\ndrivers=wave\n[wave]\nfile=" + (dir / "no_such_folder" / "out.wav").string() + "\n");
    EXPECT_EQ(run.child.status, 0) << run.child.err;
    EXPECT_EQ(run.child.out, "opening openal device\nOpenAl error: alcOpenDevice failed\n");
    EXPECT_EQ(run.notes, kSilentNotes);
}

// The sound libraries' own complaints (ALSA's, OpenAL Soft's) stay off the terminal: the device's
// two lines say it all.
TEST_F(Silent, NoConfigurationAndNoSoundCardLeavesTheProgramSilentAndQuiet) {
    WaveRun run = RunWithoutSound("");
    ASSERT_EQ(run.child.status, 0) << run.child.err;
    if (run.child.out == "opening openal device\n") GTEST_SKIP() << "this machine has a sound device";
    EXPECT_EQ(run.child.out, "opening openal device\nOpenAl error: alcOpenDevice failed\n");
    EXPECT_EQ(run.child.err, "");
    EXPECT_EQ(run.notes, kSilentNotes);
}

TEST_F(Silent, ALibraryLogThePlayerAskedForIsKept) {
    struct Case {
        const char* variable;
        const char* shown;  // the start of the asked-for library's lines
        const char* hidden; // the other library's
    } cases[] = {
        {"ALSOFT_LOGLEVEL", "AL lib: (EE)", "ALSA lib "},
        {"LIBASOUND_DEBUG", "ALSA lib ", "AL lib: "},
    };
    for (const Case& c : cases) {
        setenv(c.variable, "1", 1);
        WaveRun run = RunWithoutSound("");
        unsetenv(c.variable);
        ASSERT_EQ(run.child.status, 0) << run.child.err;
        if (run.child.out == "opening openal device\n") GTEST_SKIP() << "this machine has a sound device";
        EXPECT_NE(run.child.err.find(c.shown), std::string::npos) << c.variable << ": " << run.child.err;
        EXPECT_EQ(run.child.err.find(c.hidden), std::string::npos) << c.variable << ": " << run.child.err;
    }
}

} // namespace
