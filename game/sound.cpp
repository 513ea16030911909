// Sound effects from 100 numbered slots, played round-robin on channels 1 to 23 and 0, and one music
// track at a time, both obeying the sound mode (setting SetSoundMode, a SoundMode).
#include "framework/audio/audio.h"
#include "game/my_app.h"

namespace {

// Slot numbers are written with at least three digits: slot 7 is "sfx/007.wav".
String EffectFile(int n) {
    String pad = n < 10 ? String(u"00") : n < 100 ? String(u"0") : String();
    return String(u"sfx/") + pad + String(n) + String(u".wav");
}

String TuneFile(const String& name) { return String(u"sfx/") + name + String(u".ogg"); }

} // namespace

int c_MyApp::p_LoadSFX(int n) {
    if (n < 0 || n >= m_Sfx.Length()) return 0;
    gc_assign(m_Sfx[n], vx_audio_LoadSound(EffectFile(n)));
    return 0;
}

int c_MyApp::p_PlaySFX(int n, float rate, float volume, float pan) {
    if (!SoundModeHasEffects(m_Setting[SetSoundMode]) || n < 0 || n >= m_Sfx.Length() || !m_Sfx[n]) return 0;
    m_SfxSlot = (m_SfxSlot + 1) % SfxRotation;
    int channel = m_SfxChan[m_SfxSlot];
    vx_audio_StopChannel(channel);
    vx_audio_PlaySound(m_Sfx[n], channel, 0);
    vx_audio_SetChannelRate(channel, rate);
    vx_audio_SetChannelVolume(channel, volume);
    vx_audio_SetChannelPan(channel, pan);
    return 0;
}

// "-1" asks again for the last track, which is how a round's music comes back after the sound mode
// turned it off and on.
int c_MyApp::p_PlayTune(String name, int loop) {
    if (HasMusicStream == 0) return 0;
    if (name == String(u"-1") && m_LastTune.Length() > 0) name = m_LastTune;
    if (name.Length() == 0) return 0;
    m_LastTune = name;
    if (m_TunePlaying == 1) p_StopTune();
    if (!SoundModeHasMusic(m_Setting[SetSoundMode])) return 0;
    vx_audio_PlayMusic(TuneFile(name), loop == 1 ? 1 : 0);
    m_TunePlaying = 1;
    return 0;
}

// Whatever the sound mode: a mode with music may come later in the same run.
int c_MyApp::p_PrepareTune(String name) {
    if (HasMusicStream == 1) vx_audio_PrepareMusic(TuneFile(name));
    return 0;
}

int c_MyApp::p_DecodeTuneAhead(String name) {
    if (HasMusicStream == 1) vx_audio_DecodeMusicAhead(TuneFile(name));
    return 0;
}

// Channel slot i plays on channel i.
int c_MyApp::p_ResetChannels() {
    for (int i = 0; i < m_SfxChan.Length(); ++i) m_SfxChan[i] = i;
    return 0;
}

// Asked every update, so the music also stops with a pause that suspending the window brought.
int c_MyApp::p_MusicFollowsPause() {
    if (HasMusicStream != 1 || m_TunePlaying != 1) return 0;
    if (m_Paused != 0) {
        vx_audio_PauseMusic();
    } else {
        vx_audio_ResumeMusic();
    }
    return 0;
}

int c_MyApp::p_StopTune() {
    vx_audio_StopMusic();
    m_TunePlaying = 0;
    return 0;
}
