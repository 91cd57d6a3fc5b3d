#include "platform/sound/sound_player.h"

#include "platform/sound/detail/file_player.h"
#include "platform/sound/detail/pulse_output.h"
#include "platform/sound/detail/sound_stream.h"

#include <chrono>
#include <thread>

namespace quelm::sound {
namespace {
constexpr int kSyncSlackMs = 1000; // a synchronous sound's longest wait beyond its length
constexpr int kSyncLookMs = 10;    // how often it looks whether the sound has ended
} // namespace

SoundPlayer::SoundPlayer() = default;
SoundPlayer::~SoundPlayer() = default;

bool SoundPlayer::Playing() const { return current_ && current_->Playing(); }

bool SoundPlayer::PlaySound(const QString* file, uint32_t flags) {
    if (flags & SND_MEMORY) return false;
    if (file && (flags & SND_LOOP) && !(flags & SND_ASYNC)) return false;
    if (file && (flags & SND_NOSTOP) && Playing()) return false;
    current_.reset(); // stops the sound that was playing
    if (!file) return true;
    FileOpenResult result;
    auto source = OpenAudioFile(*file, true, &result);
    if (!source) return false;
    const int rate = source->Rate();
    auto stream = std::make_unique<sound::SoundStream>(std::move(source), "Quelm sound");
    std::string error;
    if (!stream->Play(0, -1, (flags & SND_LOOP) != 0, &error)) return false;
    if (!(flags & SND_ASYNC)) {
        // The synchronous form: the caller chose to wait until the sound has been heard, but
        // not for a server that has stopped playing it.
        const auto heardBy =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(stream->Frames() * 1000 / rate + kSyncSlackMs);
        while (stream->Playing() && std::chrono::steady_clock::now() < heardBy)
            std::this_thread::sleep_for(std::chrono::milliseconds(kSyncLookMs));
        return true;
    }
    current_ = std::move(stream);
    return true;
}

uint32_t WaveOutDeviceCount() { return static_cast<uint32_t>(sound::CountSoundOutputs()); }

} // namespace quelm::sound
