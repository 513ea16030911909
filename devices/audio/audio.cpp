#include "devices/audio/audio.h"
#include "devices/audio/music_ahead.h"
#include "devices/audio/quiet.h"

#include "host/console.h"
#include "host/files.h"
#include "host/game.h"

#ifndef __EMSCRIPTEN__
#include <AL/efx.h>
#endif

#include <cmath>
#include <cstdlib>

VxRoot<gxtkAudio*> gxtkAudio::audio;

namespace {

// AL_INITIAL when the source cannot be asked (source 0, no context): never mistaken for a source
// that has finished, so nothing is detached or let go on a failed query.
ALint SourceState(ALuint source) {
    ALint state = AL_INITIAL;
    alGetSourcei(source, AL_SOURCE_STATE, &state);
    return state;
}

ALenum BufferFormat(int channels, int bytesPerSample) {
    if (bytesPerSample == 1 && channels == 1) return AL_FORMAT_MONO8;
    if (bytesPerSample == 1 && channels == 2) return AL_FORMAT_STEREO8;
    if (bytesPerSample == 2 && channels == 1) return AL_FORMAT_MONO16;
    if (bytesPerSample == 2 && channels == 2) return AL_FORMAT_STEREO16;
    return 0; // OpenAL refuses it, so the buffer stays empty and plays nothing
}

// No auxiliary sends: the game uses no effects, and OpenAL Soft keeps room for every send in each
// of the 256 voices it makes with a context (about 0.7 MB for the default two). The browser's
// OpenAL refuses the attribute (as any other OpenAL may: OpenDevice asks again without it), and
// has no voices of its own to keep.
const ALCint* ContextAttributes() {
#ifdef __EMSCRIPTEN__
    return nullptr;
#else
    static const ALCint attributes[] = {ALC_MAX_AUXILIARY_SENDS, 0, 0};
    return attributes;
#endif
}

// A buffer of the decoded samples, which it frees.
ALuint BufferOf(unsigned char* data, int length, int channelCount, int format, int hertz) {
    ALuint buffer = 0;
    alGenBuffers(1, &buffer);
    alBufferData(buffer, BufferFormat(channelCount, format), data, length * channelCount * format, hertz);
    std::free(data);
    return buffer;
}

// The sample of a sound decoded ahead, reported to the collector as the host reports a load's.
gxtkSample* SampleOf(const gxtkSound& sound) {
    gc_ext_malloced(vxDecodedSoundBytes(sound.length, sound.channels, sound.format));
    auto* sample = new gxtkSample;
    sample->buffer = BufferOf(sound.data, sound.length, sound.channels, sound.format, sound.hertz);
    return sample;
}

} // namespace

ALuint gxtkChannel::AL_Source() {
    if (source != 0) return source;
    alGetError();
    alGenSources(1, &source);
    if (alGetError() == AL_NO_ERROR) return source;
    // Out of sources: borrow one from a sound channel that has nothing to play.
    source = 0;
    gxtkAudio* device = gxtkAudio::audio;
    for (int i = 0; i < gxtkAudio::MUSIC_CHANNEL; ++i) {
        gxtkChannel& other = device->channels[i];
        if (other.source != 0 && device->ChannelState(i) == 0) {
            source = other.source;
            other.source = 0;
            break;
        }
    }
    return source;
}

gxtkAudio::gxtkAudio() {
    audio = this;
    OpenDevice();
    alDistanceModel(AL_NONE);
    channels[MUSIC_CHANNEL].AL_Source();
}

// Three tries, then whatever failed is reported; the game goes on without sound.
void gxtkAudio::OpenDevice() {
    QuietSoundLibraries();
    alcDevice = alcOpenDevice(nullptr);
    if (!alcDevice) alcDevice = alcOpenDevice("Generic Hardware");
    if (!alcDevice) alcDevice = alcOpenDevice("Generic Software");
    vxPrint(String(u"opening openal device"));
    if (!alcDevice) {
        vxPrint(String(u"OpenAl error: alcOpenDevice failed"));
        return;
    }
    alcContext = alcCreateContext(alcDevice, ContextAttributes());
    // The attribute only saves memory: an OpenAL that refuses it plays as well without it.
    if (!alcContext) alcContext = alcCreateContext(alcDevice, nullptr);
    if (!alcContext) {
        vxPrint(String(u"OpenAl error: alcCreateContext failed"));
        return;
    }
    if (!alcMakeContextCurrent(alcContext)) vxPrint(String(u"OpenAl error: alcMakeContextCurrent failed"));
}

void gxtkAudio::mark() {
    for (gxtkChannel& channel : channels) {
        if (channel.state != 0 && SourceState(channel.source) != AL_STOPPED) gc_mark_q(channel.sample);
    }
    gc_mark_q(musicSample);
}

void gxtkAudio::FlushDiscarded() {
    std::vector<ALuint>& discarded = gxtkSample::discarded;
    if (discarded.empty()) return;
    // Sources that ran out still hold their last buffer; let go of it so it can be deleted.
    for (gxtkChannel& channel : channels) {
        if (channel.state != 0 && SourceState(channel.source) == AL_STOPPED) {
            alSourcei(channel.source, AL_BUFFER, 0);
        }
    }
    std::vector<ALuint> kept;
    for (ALuint name : discarded) {
        alGetError();
        alDeleteBuffers(1, &name);
        // Still attached to a playing source: try again at a later flush.
        if (alGetError() != AL_NO_ERROR) kept.push_back(name);
    }
    discarded.swap(kept);
}

int gxtkAudio::Suspend() {
    for (gxtkChannel& channel : channels) {
        if (channel.state == 1 && SourceState(channel.source) == AL_PLAYING) alSourcePause(channel.source);
    }
    return 0;
}

int gxtkAudio::Resume() {
    for (gxtkChannel& channel : channels) {
        if (channel.state == 1 && SourceState(channel.source) == AL_PAUSED) alSourcePlay(channel.source);
    }
    return 0;
}

gxtkSample* gxtkAudio::LoadSample(String path) {
    FlushDiscarded();
    gxtkSample* sample = new gxtkSample;
    return LoadSample__UNSAFE__(sample, path) ? sample : nullptr;
}

bool gxtkAudio::LoadSample__UNSAFE__(gxtkSample* sample, String path) {
    int length = 0, channelCount = 0, format = 0, hertz = 0;
    unsigned char* data = VxGame::_game->LoadAudioData(path, &length, &channelCount, &format, &hertz);
    if (!data) return false;
    sample->buffer = BufferOf(data, length, channelCount, format, hertz);
    return true;
}

int gxtkAudio::PlaySample(gxtkSample* sample, int channel, int playFlags) {
    FlushDiscarded();
    gxtkChannel& chan = channels[channel];
    ALuint source = chan.AL_Source();
    if (source == 0) return -1;
    alSourceStop(source);
    alSourcei(source, AL_BUFFER, ALint(sample->buffer));
    alSourcei(source, AL_LOOPING, playFlags != 0 ? AL_TRUE : AL_FALSE);
    alSourcePlay(source);
    gc_assign(chan.sample, sample);
    chan.flags = playFlags;
    chan.state = 1;
    return 0;
}

int gxtkAudio::StopChannel(int channel) {
    gxtkChannel& chan = channels[channel];
    if (chan.state != 0) {
        alSourceStop(chan.source);
        chan.state = 0;
    }
    return 0;
}

int gxtkAudio::PauseChannel(int channel) {
    gxtkChannel& chan = channels[channel];
    if (chan.state != 1) return 0;
    if (SourceState(chan.source) == AL_STOPPED) {
        chan.state = 0;
    } else {
        alSourcePause(chan.source);
        chan.state = 2;
    }
    return 0;
}

int gxtkAudio::ResumeChannel(int channel) {
    gxtkChannel& chan = channels[channel];
    if (chan.state == 2) {
        alSourcePlay(chan.source);
        chan.state = 1;
    }
    return 0;
}

int gxtkAudio::ChannelState(int channel) {
    gxtkChannel& chan = channels[channel];
    if (chan.state == 1 && SourceState(chan.source) == AL_STOPPED) chan.state = 0;
    return chan.state;
}

int gxtkAudio::SetVolume(int channel, float volume) {
    alSourcef(channels[channel].AL_Source(), AL_GAIN, volume);
    return 0;
}

// The pan value is an angle in radians: the source turns about the listener, who faces -z.
int gxtkAudio::SetPan(int channel, float pan) {
    alSource3f(channels[channel].AL_Source(), AL_POSITION, std::sin(pan), 0.0f, -std::cos(pan));
    return 0;
}

int gxtkAudio::SetRate(int channel, float rate) {
    alSourcef(channels[channel].AL_Source(), AL_PITCH, rate);
    return 0;
}

int gxtkAudio::PlayMusic(String path, int playFlags) {
    StopMusic();
    gxtkSample* sample = MusicSample(path);
    if (!sample) return -1;
    PlaySample(sample, MUSIC_CHANNEL, playFlags);
    return 0;
}

int gxtkAudio::PrepareMusic(String path) { return MusicSample(path) ? 0 : -1; }

int gxtkAudio::DecodeMusicAhead(String path) {
    if (!musicSample || path != musicPath) vxMusicAhead().Start({vxFileNameOf(path)});
    return 0;
}

gxtkSample* gxtkAudio::MusicSample(const String& path) {
    if (musicSample && path == musicPath) return musicSample;
    gxtkSound ahead = vxMusicAhead().Take(vxFileNameOf(path));
    gc_assign(musicSample, ahead.data ? SampleOf(ahead) : LoadSample(path));
    musicPath = musicSample ? path : String();
    return musicSample;
}

int gxtkAudio::StopMusic() { return StopChannel(MUSIC_CHANNEL); }
int gxtkAudio::PauseMusic() { return PauseChannel(MUSIC_CHANNEL); }
int gxtkAudio::ResumeMusic() { return ResumeChannel(MUSIC_CHANNEL); }
int gxtkAudio::MusicState() { return ChannelState(MUSIC_CHANNEL); }
int gxtkAudio::SetMusicVolume(float volume) { return SetVolume(MUSIC_CHANNEL, volume); }
