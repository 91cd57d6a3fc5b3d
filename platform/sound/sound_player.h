#pragma once
// Stand-in for the system sound player (PlaySound) and its device count (waveOutGetNumDevs):
// one WAV file at a time, played on the sound server, once or looping without a gap, and
// stopped by the next call. Emulated: file names, SND_ASYNC, SND_LOOP, SND_NODEFAULT,
// SND_NOSTOP and the stop with no sound. Not emulated: sounds from memory or resources,
// registry sound aliases and the default system sound (a file that cannot be played
// gives silence and false).
#include <QString>

#include <cstdint>
#include <memory>

namespace quelm::sound {

class SoundStream;

inline constexpr uint32_t SND_SYNC = 0x0000;
inline constexpr uint32_t SND_ASYNC = 0x0001;
inline constexpr uint32_t SND_NODEFAULT = 0x0002;
inline constexpr uint32_t SND_MEMORY = 0x0004;
inline constexpr uint32_t SND_LOOP = 0x0008;
inline constexpr uint32_t SND_NOSTOP = 0x0010;
inline constexpr uint32_t SND_FILENAME = 0x00020000;

class SoundPlayer {
public:
    SoundPlayer();
    ~SoundPlayer();
    // `file` nullptr: stop any sound of the player. Otherwise play that WAV file; the
    // synchronous form returns once it has been heard. False when nothing plays.
    bool PlaySound(const QString* file, uint32_t flags);
    bool Playing() const;

private:
    std::unique_ptr<sound::SoundStream> current_;
};

// Number of sound outputs; 0 when no sound server answers.
uint32_t WaveOutDeviceCount();

} // namespace quelm::sound
