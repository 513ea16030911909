// Decoders and path rules shared by the host's loaders.
#pragma once

#include "runtime/string.h"

#include <cstdio>
#include <string>
#include <string_view>

// The framework's rule for asset names: plain names refer to the data folder.
String vx_data_FixDataPath(const String& path);

// Bytes between the read position and the end of the stream (a file or a stream in memory); the
// position is kept. 0 when the stream cannot tell.
long long bytesLeft(std::FILE* file);
// A 32-bit little-endian integer, or -1 when fewer than 4 bytes remain.
int readInt(std::FILE* file);
// Uncompressed PCM WAV and Ogg Vorbis, decoded whole; neither closes the file. The buffer belongs
// to the caller (free()).
unsigned char* LoadWAV(std::FILE* file, int* length, int* channels, int* format, int* hertz);
unsigned char* LoadOGG(std::FILE* file, int* length, int* channels, int* format, int* hertz);
// A WAV or Ogg Vorbis file, told by its first bytes, decoded whole; null for anything else. Does not
// close the file; the buffer belongs to the caller (free()). Safe on any thread, like
// vxDecodeImage.
unsigned char* vxDecodeSound(std::FILE* file, int* length, int* channels, int* format, int* hertz);
// A decoded sound's bytes as the collector is told of them: at most what an int holds.
int vxDecodedSoundBytes(int length, int channels, int format);
// A PNG decoded whole at its own depth (bytes a pixel), or null for a file that is not one or whose
// header claims more than a texture takes or the file could code. Does not close the file; the
// buffer belongs to the caller (free()). Safe on any thread: it touches no runtime object.
unsigned char* vxDecodeImage(std::FILE* file, int* width, int* height, int* depth);
// Hands the heap's free pages back to the system. Loading decodes every picture and sound into
// short-lived blocks; freed, they would stay resident in the allocator's arenas for good.
void vxReleaseFreeMemory();
// The allocator's settings for the whole process, made once, before anything is loaded; later
// calls do nothing. The software OpenGL driver takes a texture's storage from the allocator and
// clears it: page by page, that is 60 ms for a 2048 x 2048 picture on a virtual machine, a sixth of
// it with huge pages. The allocator reads its tunables only when a program starts, so a program
// that opens a window (`opensWindow`) starts again at once, with the same words (`argv`, null for
// none) and huge pages asked for; the restarted process puts the variables back as they were, so
// its children and its environment as tools show it are the player's own. No restart when
// GLIBC_TUNABLES names glibc.malloc.hugetlb already or under valgrind. Then blocks of a quarter
// megabyte and more (decoded pictures and sounds, which live only until their upload) get pages of
// their own, handed back the moment they are freed: the allocator's sliding threshold would soon
// keep them in its arenas instead, where freed space stays resident (the arena of a worker thread
// is not even trimmed).
void vxSetUpProcessMemory(char** argv, bool opensWindow);
// Writes a whole file so that a crash or a full disk mid-write leaves the previous one whole: a
// temporary file beside it, flushed to the disk, renamed over it, and the folder synced. 0 when
// written; -1 when the file could not be made or renamed; -2 when writing it failed.
int vxWriteFileSafely(const std::string& path, std::string_view bytes);
