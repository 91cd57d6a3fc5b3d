#pragma once
// The audio CD as one playing device. CD drives today have no analogue output and disc
// images have none at all, so the device reads the disc's audio digitally (libcdio) and
// plays it on the sound server itself; its position, current track and mode follow what is
// being heard. Positions are sectors (1/75 s) counted from the start of the disc (LSN 0).
//
// The drive is the system's default CD drive, or the drive or disc image (CUE/BIN, cdrdao
// TOC, NRG) named by the environment variable QUELM_CDAUDIO_DEVICE, the way to point the
// program at another drive or at an image.
#include "platform/sound/detail/sound_stream.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace quelm::sound {

inline constexpr const char* kCdDeviceVariable = "QUELM_CDAUDIO_DEVICE";
inline constexpr int kSectorsPerSecond = 75;
inline constexpr int kFramesPerSector = 588; // 2352 bytes of 16-bit stereo at 44.1 kHz
inline constexpr int kCdRate = 44100;
inline constexpr int kMsfOffset = 150; // MSF 00:02:00 is LSN 0

enum class CdTimeFormat { Msf, Tmsf, Milliseconds };
enum class CdPlay { Started, NoSound, NoAudio }; // no sound server; no audio track there

class CdAudioDevice {
public:
    // Opens the drive; nothing when there is no drive (or the image cannot be read).
    // A drive without a disc opens; it then has no tracks.
    static std::unique_ptr<CdAudioDevice> Open();
    ~CdAudioDevice();

    // A disc whose audio could not be read while it played (an image cut short, a drive
    // emptied) counts as gone.
    bool HasDisc() const { return !tracks_.empty() && !stream_->SourceFailed(); }
    int FirstTrack() const;
    int TrackCount() const { return static_cast<int>(tracks_.size()); }
    // The track being heard (while stopped: the track where the position stands).
    int CurrentTrack() const;
    bool Playing() const;
    int64_t Position() const;            // sector being heard
    int64_t TrackStart(int track) const; // -1 for a track the disc does not have
    int64_t TrackLength(int track) const;
    int64_t DiscEnd() const { return leadout_; }

    // Text of a position, and of a length, in `format`; position text that Play accepts.
    std::string PositionText(int64_t sector, CdTimeFormat format) const;
    std::string LengthText(int64_t sectors, CdTimeFormat format) const;
    // Sector of a position text in `format`; nothing when the text is not a position of this
    // disc (`outOfRange` tells a good number outside the disc from bad text). With `end`, the
    // end of the disc counts as a position too (where a play may end).
    std::optional<int64_t> ParsePosition(const std::string& text, CdTimeFormat format, bool end,
                                         bool* outOfRange) const;

    // Plays from `from`, which must lie in an audio track (nothing: from where the device
    // stands, passing over data tracks; at the end of the disc, from its first audio track)
    // to `to` (nothing: the end of the disc). Data tracks are never played: the play ends
    // where the next one begins.
    CdPlay Play(std::optional<int64_t> from, std::optional<int64_t> to, std::string* error);
    void Stop();

private:
    struct Track {
        int number;
        int64_t start;
        bool audio;
    };
    CdAudioDevice() = default;
    int TrackAt(int64_t sector) const;
    bool IsAudio(int64_t sector) const;
    // The first audio sector at or after `sector`; nothing when none follows.
    std::optional<int64_t> AudioFrom(int64_t sector) const;

    std::vector<Track> tracks_;
    int64_t leadout_ = 0;
    std::unique_ptr<sound::SoundStream> stream_;
};

} // namespace quelm::sound
