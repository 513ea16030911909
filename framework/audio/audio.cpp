#include "framework/audio/audio.h"

#include "host/files.h"

#include <utility>

VxRoot<gxtkAudio*> vx_audio_device;

namespace {

// A program without a sound device (the headless verifier) loads and plays nothing: every call is
// answered with 0.
template <class Call> auto OnDevice(Call call) -> decltype(call(std::declval<gxtkAudio&>())) {
    gxtkAudio* device = vx_audio_device.get();
    return device ? call(*device) : decltype(call(*device)){};
}

} // namespace

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
    gxtkSample* sample = OnDevice([&](gxtkAudio& d) { return d.LoadSample(vx_data_FixDataPath(path)); });
    return sample ? (new c_Sound)->m_new(sample) : nullptr;
}

int vx_audio_PlaySound(c_Sound* sound, int channel, int flags) {
    if (sound && sound->m_sample) vx_audio_device->PlaySample(sound->m_sample, channel, flags);
    return 0;
}

int vx_audio_StopChannel(int channel) {
    return OnDevice([&](gxtkAudio& d) { return d.StopChannel(channel); });
}

int vx_audio_SetChannelVolume(int channel, float volume) {
    return OnDevice([&](gxtkAudio& d) { return d.SetVolume(channel, volume); });
}

int vx_audio_SetChannelRate(int channel, float rate) {
    return OnDevice([&](gxtkAudio& d) { return d.SetRate(channel, rate); });
}

int vx_audio_SetChannelPan(int channel, float pan) {
    return OnDevice([&](gxtkAudio& d) { return d.SetPan(channel, pan); });
}

int vx_audio_PlayMusic(const String& path, int flags) {
    return OnDevice([&](gxtkAudio& d) { return d.PlayMusic(vx_data_FixDataPath(path), flags); });
}

int vx_audio_PrepareMusic(const String& path) {
    return OnDevice([&](gxtkAudio& d) { return d.PrepareMusic(vx_data_FixDataPath(path)); });
}

int vx_audio_DecodeMusicAhead(const String& path) {
    return OnDevice([&](gxtkAudio& d) { return d.DecodeMusicAhead(vx_data_FixDataPath(path)); });
}

int vx_audio_StopMusic() {
    return OnDevice([](gxtkAudio& d) { return d.StopMusic(); });
}
int vx_audio_PauseMusic() {
    return OnDevice([](gxtkAudio& d) { return d.PauseMusic(); });
}
int vx_audio_ResumeMusic() {
    return OnDevice([](gxtkAudio& d) { return d.ResumeMusic(); });
}
