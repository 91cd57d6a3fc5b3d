#pragma once
// A music file as one playing device: the file is decoded with libsndfile (MP3 through
// mpg123, WAV, FLAC, Ogg and the other formats it knows, told apart by their content, not
// by their names) and played on the sound server. Positions are milliseconds.
#include "platform/sound/detail/sound_stream.h"

#include <QString>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace quelm::sound {

enum class FileOpenResult { Opened, NotFound, NotAudio };

// Decoded samples of the file at `path` (opened exactly by that name). With `wavOnly`, a
// file whose content is not RIFF/WAVE audio counts as not audio.
std::unique_ptr<sound::AudioSource> OpenAudioFile(const QString& path, bool wavOnly, FileOpenResult* result);

class FilePlayer {
public:
    static std::unique_ptr<FilePlayer> Open(const QString& path, FileOpenResult* result);

    // Plays from `fromMs` (nothing: where the player stands; at the end: from the start)
    // to `toMs` (nothing: the end). False when no sound server answers.
    bool Play(std::optional<int64_t> fromMs, std::optional<int64_t> toMs, std::string* error);
    void Stop();
    bool Playing() const { return stream_->Playing(); }
    int64_t PositionMs() const;
    int64_t LengthMs() const;

private:
    explicit FilePlayer(std::unique_ptr<sound::AudioSource> source);
    int rate_;
    std::unique_ptr<sound::SoundStream> stream_;
};

} // namespace quelm::sound
