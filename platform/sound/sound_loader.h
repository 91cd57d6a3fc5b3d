#pragma once
// The sound services of mci.h, loaded when they are first asked for. They live in a module of
// their own (kSoundModuleFile), with the libraries of the sound server, the music files and the
// CD: a show without music never loads them, and starts sooner and smaller for it.
// Where the module cannot be loaded, every command fails with MCIERR_DEVICE_NOT_INSTALLED,
// there is no wave output device, and the reason is told once on stderr.
#include "platform/sound/mci.h"

namespace quelm::sound {

// Found along the program's library search path (its RUNPATH, set at build and at install).
inline constexpr char kSoundModuleFile[] = "quelm-sound.so";
// What the module exports: a new mci.h Multimedia, owned by the caller.
inline constexpr char kSoundModuleFactory[] = "quelm_make_system_multimedia";
using SoundModuleFactory = Multimedia* (*)();

std::unique_ptr<Multimedia> MakeLoadedMultimedia();

} // namespace quelm::sound
