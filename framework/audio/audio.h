// The framework's sounds and channels: c_Sound wraps a device sample, asset names resolve into the
// data folder, and channel and music commands go straight to the audio device, which keeps every
// volume, rate and pan. Channels 0..31 are for sounds; music has its own channel on the device.
#pragma once

#include "devices/audio/audio.h"
#include "runtime/object.h"

class c_Sound : public Object {
  public:
    gxtkSample* m_sample = nullptr;

    c_Sound* m_new(gxtkSample* sample);
    void mark() override;
};

// The audio device, set once when the game starts.
extern VxRoot<gxtkAudio*> vx_audio_device;

int vx_audio_SetAudioDevice(gxtkAudio* device);
// Null when the file cannot be loaded.
c_Sound* vx_audio_LoadSound(const String& path);
// A null sound, or one without a sample, plays nothing. Flags 0 play once, anything else loops.
int vx_audio_PlaySound(c_Sound* sound, int channel, int flags);
int vx_audio_StopChannel(int channel);
int vx_audio_SetChannelVolume(int channel, float volume);
int vx_audio_SetChannelRate(int channel, float rate);
// The pan is an angle in radians.
int vx_audio_SetChannelPan(int channel, float pan);
// -1 when the file cannot be loaded; the old music stops either way.
int vx_audio_PlayMusic(const String& path, int flags);
// Decodes a music file ahead of its PlayMusic, without playing it; -1 when it cannot be loaded.
int vx_audio_PrepareMusic(const String& path);
// Starts decoding a music file on a worker thread, for its PrepareMusic or PlayMusic to take.
int vx_audio_DecodeMusicAhead(const String& path);
int vx_audio_StopMusic();
int vx_audio_PauseMusic();
int vx_audio_ResumeMusic();
