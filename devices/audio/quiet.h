// Keeps the sound libraries from writing to the terminal. Without a sound card ALSA ("ALSA lib
// ...") and OpenAL Soft ("AL lib: (EE) ...") each print a screenful of complaints before the
// audio device reports the failure once in its own words.
#pragma once

// Silences ALSA's error handler and OpenAL Soft's log, unless the player asked for them through
// the libraries' own variables (LIBASOUND_DEBUG; ALSOFT_LOGLEVEL, ALSOFT_LOGFILE). Call it before
// the first OpenAL device is opened: OpenAL Soft reads its log settings then.
void QuietSoundLibraries();
