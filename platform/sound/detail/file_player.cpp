#include "platform/sound/detail/file_player.h"

#include <QFile>
#include <QFileInfo>

#include <sndfile.h>

namespace quelm::sound {
namespace {

class SoundFileSource final : public sound::AudioSource {
public:
    SoundFileSource(SNDFILE* file, const SF_INFO& info) : file_(file), info_(info) {}
    ~SoundFileSource() override { sf_close(file_); }
    int Rate() const override { return info_.samplerate; }
    int Channels() const override { return info_.channels; }
    int64_t Frames() const override { return info_.frames; }
    bool Seek(int64_t frame) override { return sf_seek(file_, frame, SEEK_SET) >= 0; }
    size_t Read(float* out, size_t frames) override {
        const sf_count_t n = sf_readf_float(file_, out, static_cast<sf_count_t>(frames));
        return n > 0 ? static_cast<size_t>(n) : 0;
    }

private:
    SNDFILE* file_;
    SF_INFO info_;
};

int64_t ToFrames(int64_t ms, int rate) { return ms * rate / 1000; }

} // namespace

std::unique_ptr<sound::AudioSource> OpenAudioFile(const QString& path, bool wavOnly, FileOpenResult* result) {
    const QFileInfo file(path);
    if (path.isEmpty() || !file.isFile()) {
        *result = FileOpenResult::NotFound;
        return nullptr;
    }
    SF_INFO info{};
    SNDFILE* sf = sf_open(QFile::encodeName(path).constData(), SFM_READ, &info);
    if (!sf) {
        *result = FileOpenResult::NotAudio;
        return nullptr;
    }
    const int major = info.format & SF_FORMAT_TYPEMASK;
    const bool wav = major == SF_FORMAT_WAV || major == SF_FORMAT_WAVEX;
    if (info.channels < 1 || info.channels > 8 || info.samplerate < 1000 || info.frames <= 0 || (wavOnly && !wav)) {
        sf_close(sf);
        *result = FileOpenResult::NotAudio;
        return nullptr;
    }
    *result = FileOpenResult::Opened;
    return std::make_unique<SoundFileSource>(sf, info);
}

std::unique_ptr<FilePlayer> FilePlayer::Open(const QString& path, FileOpenResult* result) {
    auto source = OpenAudioFile(path, false, result);
    if (!source) return nullptr;
    return std::unique_ptr<FilePlayer>(new FilePlayer(std::move(source)));
}

FilePlayer::FilePlayer(std::unique_ptr<sound::AudioSource> source) : rate_(source->Rate()) {
    stream_ = std::make_unique<sound::SoundStream>(std::move(source), "Quelm music");
}

bool FilePlayer::Play(std::optional<int64_t> fromMs, std::optional<int64_t> toMs, std::string* error) {
    if (!fromMs && !toMs && Playing()) return true; // already playing on: nothing to change
    int64_t from = fromMs ? ToFrames(*fromMs, rate_) : stream_->HeardFrame();
    if (from >= stream_->Frames()) from = 0;
    const int64_t to = toMs ? ToFrames(*toMs, rate_) : -1;
    return stream_->Play(from, to, false, error);
}

void FilePlayer::Stop() { stream_->Stop(); }

int64_t FilePlayer::PositionMs() const { return stream_->HeardFrame() * 1000 / rate_; }

int64_t FilePlayer::LengthMs() const { return stream_->Frames() * 1000 / rate_; }

} // namespace quelm::sound
