#include "platform/sound/detail/cd_audio_device.h"

#include <cdio/cdio.h>
#include <cdio/logging.h>
#include <cdio/read.h>
#include <cdio/track.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace quelm::sound {
namespace {

constexpr int kSectorsPerRead = 8;
constexpr int kCdChannels = 2;

// The disc's audio as 16-bit stereo frames from LSN 0. A stretch that cannot be read (a disc
// image cut short, a drive emptied) ends what Read gives.
class DiscSource final : public sound::AudioSource {
public:
    DiscSource(CdIo_t* cdio, int64_t leadout)
        : cdio_(cdio), leadout_(leadout), block_(static_cast<size_t>(kSectorsPerRead) * kFramesPerSector * kCdChannels),
          raw_(static_cast<size_t>(kSectorsPerRead) * CDIO_CD_FRAMESIZE_RAW) {}
    ~DiscSource() override { cdio_destroy(cdio_); }
    int Rate() const override { return kCdRate; }
    int Channels() const override { return kCdChannels; }
    int64_t Frames() const override { return leadout_ * kFramesPerSector; }
    bool Seek(int64_t frame) override {
        pos_ = std::clamp<int64_t>(frame, 0, Frames());
        return true;
    }
    size_t Read(float* out, size_t frames) override {
        size_t done = 0;
        while (done < frames && pos_ < Frames()) {
            const int64_t sector = pos_ / kFramesPerSector;
            if ((sector < blockStart_ || sector >= blockStart_ + blockSectors_) && !Fill(sector)) break;
            const int64_t offset = pos_ - blockStart_ * kFramesPerSector;
            const int64_t available = blockSectors_ * kFramesPerSector - offset;
            const size_t n = static_cast<size_t>(std::min<int64_t>(available, static_cast<int64_t>(frames - done)));
            const int16_t* from = block_.data() + offset * kCdChannels;
            for (size_t i = 0; i < n * kCdChannels; ++i) out[done * kCdChannels + i] = from[i] / 32768.0f;
            done += n;
            pos_ += static_cast<int64_t>(n);
        }
        return done;
    }

private:
    bool Fill(int64_t sector) {
        const int sectors = static_cast<int>(std::min<int64_t>(kSectorsPerRead, leadout_ - sector));
        blockSectors_ = 0;
        std::fill(raw_.begin(), raw_.end(), uint8_t{0}); // an image's last read may come up short
        if (cdio_read_audio_sectors(cdio_, raw_.data(), static_cast<lsn_t>(sector), static_cast<uint32_t>(sectors)) !=
            DRIVER_OP_SUCCESS)
            return false;
        blockStart_ = sector;
        blockSectors_ = sectors;
        const size_t samples = static_cast<size_t>(sectors) * kFramesPerSector * kCdChannels;
        for (size_t i = 0; i < samples; ++i) // CD audio is little-endian
            block_[i] = static_cast<int16_t>(raw_[2 * i] | (raw_[2 * i + 1] << 8));
        return true;
    }

    CdIo_t* cdio_;
    int64_t leadout_;
    std::vector<int16_t> block_;
    std::vector<uint8_t> raw_;
    int64_t blockStart_ = -1;
    int blockSectors_ = 0;
    int64_t pos_ = 0;
};

bool ReadNumber(const std::string& text, int* value) {
    if (text.empty() || text.size() > 3) return false;
    int v = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        v = v * 10 + (c - '0');
    }
    *value = v;
    return true;
}

} // namespace

std::unique_ptr<CdAudioDevice> CdAudioDevice::Open() {
    // libcdio's own warnings (image quirks, missing drives) are not the user's business.
    cdio_loglevel_default = CDIO_LOG_ERROR;
    const char* named = std::getenv(kCdDeviceVariable);
    CdIo_t* cdio = (named && *named) ? cdio_open(named, DRIVER_UNKNOWN) : cdio_open(nullptr, DRIVER_DEVICE);
    if (!cdio) return nullptr;
    std::unique_ptr<CdAudioDevice> device(new CdAudioDevice);
    const track_t first = cdio_get_first_track_num(cdio);
    const track_t count = cdio_get_num_tracks(cdio);
    if (first != CDIO_INVALID_TRACK && count != CDIO_INVALID_TRACK && count > 0) {
        for (int t = first; t < first + count; ++t) {
            const lsn_t start = cdio_get_track_lsn(cdio, static_cast<track_t>(t));
            if (start == CDIO_INVALID_LSN) break;
            const bool audio = cdio_get_track_format(cdio, static_cast<track_t>(t)) == TRACK_FORMAT_AUDIO;
            device->tracks_.push_back({t, start, audio});
        }
        const lsn_t leadout = cdio_get_track_lsn(cdio, CDIO_CDROM_LEADOUT_TRACK);
        device->leadout_ = leadout == CDIO_INVALID_LSN ? 0 : leadout;
        if (device->leadout_ <= 0) device->tracks_.clear();
    }
    device->stream_ =
        std::make_unique<sound::SoundStream>(std::make_unique<DiscSource>(cdio, device->leadout_), "Quelm CD audio");
    return device;
}

CdAudioDevice::~CdAudioDevice() = default;

int CdAudioDevice::FirstTrack() const { return tracks_.empty() ? 0 : tracks_.front().number; }

int CdAudioDevice::TrackAt(int64_t sector) const {
    int track = FirstTrack();
    for (const Track& t : tracks_)
        if (sector >= t.start) track = t.number;
    return track;
}

bool CdAudioDevice::IsAudio(int64_t sector) const {
    if (tracks_.empty() || sector < tracks_.front().start || sector >= leadout_) return false;
    bool audio = false;
    for (const Track& t : tracks_)
        if (sector >= t.start) audio = t.audio;
    return audio;
}

std::optional<int64_t> CdAudioDevice::AudioFrom(int64_t sector) const {
    if (IsAudio(sector)) return sector;
    for (const Track& t : tracks_)
        if (t.start > sector && t.audio) return t.start;
    return std::nullopt;
}

int CdAudioDevice::CurrentTrack() const { return TrackAt(std::min(Position(), leadout_ - 1)); }

bool CdAudioDevice::Playing() const { return stream_->Playing(); }

int64_t CdAudioDevice::Position() const {
    if (tracks_.empty()) return 0;
    // Before the first play the device stands at the start of the first track.
    return std::max(stream_->HeardFrame() / kFramesPerSector, tracks_.front().start);
}

int64_t CdAudioDevice::TrackStart(int track) const {
    for (const Track& t : tracks_)
        if (t.number == track) return t.start;
    return -1;
}

int64_t CdAudioDevice::TrackLength(int track) const {
    for (size_t i = 0; i < tracks_.size(); ++i)
        if (tracks_[i].number == track)
            return (i + 1 < tracks_.size() ? tracks_[i + 1].start : leadout_) - tracks_[i].start;
    return -1;
}

std::string CdAudioDevice::PositionText(int64_t sector, CdTimeFormat format) const {
    char text[32];
    switch (format) {
    case CdTimeFormat::Milliseconds:
        std::snprintf(text, sizeof text, "%lld", static_cast<long long>(sector * 1000 / kSectorsPerSecond));
        break;
    case CdTimeFormat::Msf: {
        const int64_t a = sector + kMsfOffset;
        std::snprintf(text, sizeof text, "%02lld:%02lld:%02lld", static_cast<long long>(a / (60 * kSectorsPerSecond)),
                      static_cast<long long>(a / kSectorsPerSecond % 60),
                      static_cast<long long>(a % kSectorsPerSecond));
        break;
    }
    case CdTimeFormat::Tmsf: {
        const int track = TrackAt(sector);
        const int64_t r = sector - std::max<int64_t>(0, TrackStart(track));
        std::snprintf(
            text, sizeof text, "%02d:%02lld:%02lld:%02lld", track, static_cast<long long>(r / (60 * kSectorsPerSecond)),
            static_cast<long long>(r / kSectorsPerSecond % 60), static_cast<long long>(r % kSectorsPerSecond));
        break;
    }
    }
    return text;
}

std::string CdAudioDevice::LengthText(int64_t sectors, CdTimeFormat format) const {
    char text[32];
    if (format == CdTimeFormat::Milliseconds) {
        std::snprintf(text, sizeof text, "%lld", static_cast<long long>(sectors * 1000 / kSectorsPerSecond));
    } else {
        std::snprintf(text, sizeof text, "%02lld:%02lld:%02lld",
                      static_cast<long long>(sectors / (60 * kSectorsPerSecond)),
                      static_cast<long long>(sectors / kSectorsPerSecond % 60),
                      static_cast<long long>(sectors % kSectorsPerSecond));
    }
    return text;
}

std::optional<int64_t> CdAudioDevice::ParsePosition(const std::string& text, CdTimeFormat format, bool end,
                                                    bool* outOfRange) const {
    *outOfRange = false;
    int64_t sector = 0;
    if (format == CdTimeFormat::Milliseconds) {
        if (text.empty() || text.size() > 12 || text.find_first_not_of("0123456789") != std::string::npos)
            return std::nullopt;
        sector = std::stoll(text) * kSectorsPerSecond / 1000;
    } else {
        std::vector<int> parts;
        size_t begin = 0;
        for (;;) {
            const size_t colon = text.find(':', begin);
            int v = 0;
            if (!ReadNumber(text.substr(begin, colon == std::string::npos ? std::string::npos : colon - begin), &v))
                return std::nullopt;
            parts.push_back(v);
            if (colon == std::string::npos) break;
            begin = colon + 1;
        }
        const size_t most = format == CdTimeFormat::Tmsf ? 4 : 3;
        if (parts.size() > most) return std::nullopt;
        parts.resize(most, 0);
        const size_t m = most - 3; // index of the minutes
        if (parts[m + 1] > 59 || parts[m + 2] >= kSectorsPerSecond) {
            *outOfRange = true;
            return std::nullopt;
        }
        const int64_t offset = (static_cast<int64_t>(parts[m]) * 60 + parts[m + 1]) * kSectorsPerSecond + parts[m + 2];
        if (format == CdTimeFormat::Tmsf) {
            const int64_t start = TrackStart(parts[0]);
            if (start < 0) {
                *outOfRange = true;
                return std::nullopt;
            }
            sector = start + offset;
        } else {
            sector = offset - kMsfOffset;
        }
    }
    if (tracks_.empty() || sector < tracks_.front().start || sector > leadout_ || (sector == leadout_ && !end)) {
        *outOfRange = true;
        return std::nullopt;
    }
    return sector;
}

CdPlay CdAudioDevice::Play(std::optional<int64_t> from, std::optional<int64_t> to, std::string* error) {
    if (!from && !to && Playing()) return CdPlay::Started; // already playing on: nothing to change
    std::optional<int64_t> start = from;
    if (!start) start = AudioFrom(Position());
    if (!start) start = AudioFrom(0); // played to the end: start over
    if (!start || !IsAudio(*start)) return CdPlay::NoAudio;
    int64_t end = to.value_or(leadout_);
    for (const Track& t : tracks_)
        if (t.start > *start && !t.audio) end = std::min(end, t.start);
    return stream_->Play(*start * kFramesPerSector, end * kFramesPerSector, false, error) ? CdPlay::Started
                                                                                          : CdPlay::NoSound;
}

void CdAudioDevice::Stop() { stream_->Stop(); }

} // namespace quelm::sound
