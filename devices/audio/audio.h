// gxtkAudio: the audio device, the only code that talks to OpenAL.
//
// 33 channels: 0..31 for sounds, 32 (MUSIC_CHANNEL) for music. A channel gets its OpenAL source on
// first use and keeps it; when OpenAL has no more sources, a channel takes the source of the first
// stopped sound channel. Music is not streamed: a music file becomes one buffer like any sound,
// decoded once and kept while it is the current music, so that starting the same track again (a
// new round) costs no decoding.
//
// A channel's `state` is what the program asked for (0 stopped, 1 playing, 2 paused). A one-shot
// sound that runs out is noticed only when the channel is asked (ChannelState, PauseChannel), and a
// host suspend pauses sources without touching `state`, so that resuming the host leaves channels
// the program paused paused.
//
// Without a device (no sound card, no OpenAL) the device still exists and every call is harmless:
// OpenAL calls without a context just fail, and the program plays nothing.
#pragma once

#include "devices/audio/sample.h"
#include "runtime/object.h"

#include <AL/al.h>
#include <AL/alc.h>

class gxtkChannel {
  public:
    ALuint source = 0;
    gxtkSample* sample = nullptr;
    int flags = 0;
    int state = 0;

    // The channel's source, made on first use or taken over from a stopped sound channel; 0 when
    // neither is possible.
    ALuint AL_Source();
};

class gxtkAudio : public Object {
  public:
    static constexpr int MUSIC_CHANNEL = 32;
    static constexpr int CHANNEL_COUNT = 33;

    ALCdevice* alcDevice = nullptr;
    ALCcontext* alcContext = nullptr;
    gxtkChannel channels[CHANNEL_COUNT];

    // Opens the default OpenAL device (printing what happened) and gives music its source at once.
    gxtkAudio();

    virtual int Suspend();
    virtual int Resume();
    virtual gxtkSample* LoadSample(String path);
    virtual bool LoadSample__UNSAFE__(gxtkSample* sample, String path);
    virtual int PlaySample(gxtkSample* sample, int channel, int playFlags);
    virtual int StopChannel(int channel);
    virtual int PauseChannel(int channel);
    virtual int ResumeChannel(int channel);
    virtual int ChannelState(int channel);
    virtual int SetVolume(int channel, float volume);
    virtual int SetPan(int channel, float pan);
    virtual int SetRate(int channel, float rate);
    virtual int PlayMusic(String path, int playFlags);
    virtual int StopMusic();
    virtual int PauseMusic();
    virtual int ResumeMusic();
    virtual int MusicState();
    virtual int SetMusicVolume(float volume);

    // Decodes the music at `path` and keeps it as the current music without playing it, so that
    // its first PlayMusic costs no decoding either. -1 when it cannot be loaded.
    int PrepareMusic(String path);
    // Starts decoding the music at `path` on a worker thread, unless it is the current music
    // already; the next PrepareMusic or PlayMusic of it takes what the worker decoded, waiting for
    // it if need be, and only makes the buffer.
    int DecodeMusicAhead(String path);

    // The current music: the path it was loaded from and its sample, kept between its plays.
    String musicPath;
    gxtkSample* musicSample = nullptr;

    // Keeps every sample alive that a channel is still playing, and the current music.
    void mark() override;

    // The one device.
    static VxRoot<gxtkAudio*> audio;

  private:
    void OpenDevice();
    // The sample of the music at `path`: the kept one when it is the current music, else loaded.
    gxtkSample* MusicSample(const String& path);
    // Deletes the buffers of discarded samples that no source holds any more.
    void FlushDiscarded();
};
