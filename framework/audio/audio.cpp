#include "framework/audio/audio.h"

#include "host/files.h"

VxRoot<gxtkAudio*> vx_audio_device;

c_Sound* c_Sound::m_new(gxtkSample* sample) {
    gc_assign(m_sample, sample);
    return this;
}

void c_Sound::mark() { gc_mark_q(m_sample); }

int vx_audio_SetAudioDevice(gxtkAudio* device) {
    vx_audio_device = device;
    return 0;
}

c_Sound* vx_audio_LoadSound(const String& path) {
    gxtkSample* sample = vx_audio_device->LoadSample(vx_data_FixDataPath(path));
    return sample ? (new c_Sound)->m_new(sample) : nullptr;
}

int vx_audio_PlaySound(c_Sound* sound, int channel, int flags) {
    if (sound && sound->m_sample) vx_audio_device->PlaySample(sound->m_sample, channel, flags);
    return 0;
}

int vx_audio_StopChannel(int channel) { return vx_audio_device->StopChannel(channel); }

int vx_audio_SetChannelVolume(int channel, float volume) {
    return vx_audio_device->SetVolume(channel, volume);
}

int vx_audio_SetChannelRate(int channel, float rate) { return vx_audio_device->SetRate(channel, rate); }

int vx_audio_SetChannelPan(int channel, float pan) { return vx_audio_device->SetPan(channel, pan); }

int vx_audio_PlayMusic(const String& path, int flags) {
    return vx_audio_device->PlayMusic(vx_data_FixDataPath(path), flags);
}

int vx_audio_PrepareMusic(const String& path) {
    return vx_audio_device->PrepareMusic(vx_data_FixDataPath(path));
}

int vx_audio_DecodeMusicAhead(const String& path) {
    return vx_audio_device->DecodeMusicAhead(vx_data_FixDataPath(path));
}

int vx_audio_StopMusic() { return vx_audio_device->StopMusic(); }
int vx_audio_PauseMusic() { return vx_audio_device->PauseMusic(); }
int vx_audio_ResumeMusic() { return vx_audio_device->ResumeMusic(); }
