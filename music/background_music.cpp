#include "music/background_music.h"

#include "platform/core/vb_runtime.h"
#include "platform/sound/sound_loader.h"

#include <algorithm>

namespace quelm {
namespace {

const QString kCdDevice = QStringLiteral("cdaudio");
const QString kStopped = QStringLiteral("stopped");
const QString kPlaying = QStringLiteral("playing");
constexpr int kModeWordChars = 7; // "stopped", "playing"

// A reply buffer's text: up to its first NUL.
template <size_t N>
QString UpToNul(const std::array<char16_t, N>& buffer) {
    const auto end = std::find(buffer.begin(), buffer.end(), u'\0');
    return QString(reinterpret_cast<const QChar*>(buffer.data()), end - buffer.begin());
}

template <size_t N>
bool StartsWith(const std::array<char16_t, N>& buffer, const QString& word) {
    return QString(reinterpret_cast<const QChar*>(buffer.data()), kModeWordChars) == word;
}

} // namespace

BackgroundMusic::BackgroundMusic(const Settings& settings, sound::Multimedia& media)
    : settings_(settings), media_(media) {}

BackgroundMusic::BackgroundMusic(const Settings& settings, std::unique_ptr<sound::Multimedia> media)
    : settings_(settings), owned_(std::move(media)), media_(*owned_) {}

int32_t BackgroundMusic::MciSend(const QString& command, QString& text) {
    if (command.isEmpty()) {
        text = kNoCommandText;
        return -1;
    }
    std::array<char16_t, kReplyChars> reply{};
    const uint32_t result = media_.SendString(command, reply.data(), kReplyChars);
    if (result != 0) {
        std::array<char16_t, kErrorTextChars> description{};
        text = media_.GetErrorString(result, description.data(), kErrorTextChars) ? UpToNul(description) : kNoErrorText;
        return static_cast<int32_t>(result);
    }
    text = UpToNul(reply);
    return 0;
}

QString BackgroundMusic::MciQuery(const QString& command) {
    const int32_t result = MciSend(command, LastMciReply);
    if (result != 0) return kQueryErrorPrefix + QString::number(result);
    return LastMciReply;
}

int32_t BackgroundMusic::MciPlay(const QString& device, const QString& from, const QString& to) {
    QString command = QStringLiteral("play ") + device;
    if (!from.isEmpty()) command += QStringLiteral(" from ") + from;
    if (!to.isEmpty()) command += QStringLiteral(" to ") + to;
    return MciSend(command, LastMciReply);
}

void BackgroundMusic::CDOpen() {
    media_.SendString(QStringLiteral("open cdaudio"), nullptr, 0);
    media_.SendString(QStringLiteral("set cdaudio time format tmsf"), nullptr, 0);
}

bool BackgroundMusic::CDPoll() {
    CDPolling = true;
    if (!PollOnce()) CDPolling = false;
    return CDPolling;
}

// One poll; false where the poll gives up for good.
bool BackgroundMusic::PollOnce() {
    const QString current = MciQuery(QStringLiteral("status cdaudio current track"));
    if (current.toUpper().contains(QStringLiteral("ERR"))) return false;
    if (MciQuery(QStringLiteral("status cdaudio number of tracks")).toUpper().contains(QStringLiteral("ERR")))
        return false;
    // A failing mode query leaves the buffer as the previous poll filled it.
    media_.SendString(QStringLiteral("status cdaudio mode"), cdMode_.data(), kCdModeChars);
    const bool stopped = StartsWith(cdMode_, kStopped);
    if (settings_.BGMRepeat != 0) {
        // The current track is compared as a number; text that is none ends the polling.
        const auto track = core::ParseNumber(current.toStdString());
        if (!track) return false;
        if (*track != settings_.BGMRepeat || stopped) {
            const QString position =
                MciQuery(QStringLiteral("status cdaudio position track ") + QString::number(settings_.BGMRepeat));
            MciPlay(kCdDevice, position, QString());
        }
    } else if (stopped) {
        MciPlay(kCdDevice, QString(), QString());
    }
    return true;
}

void BackgroundMusic::CDClose() {
    media_.SendString(QStringLiteral("stop cdaudio"), nullptr, 0);
    media_.SendString(QStringLiteral("close cdaudio"), nullptr, 0);
}

void BackgroundMusic::MP3Open() {
    const QString open =
        QStringLiteral("open \"") + settings_.BGMFile + QStringLiteral("\" type MPEGVideo Alias MP3Play");
    if (media_.SendString(open, nullptr, 0) == 0) media_.SendString(QStringLiteral("play MP3Play"), nullptr, 0);
}

bool BackgroundMusic::MP3IsPlaying() {
    std::array<char16_t, kMp3ModeChars> mode{};
    media_.SendString(QStringLiteral("status MP3Play mode"), mode.data(), kMp3ModeChars);
    return StartsWith(mode, kPlaying);
}

void BackgroundMusic::MP3Keep() {
    if (MP3IsPlaying()) return;
    media_.SendString(QStringLiteral("stop MP3Play"), nullptr, 0);
    media_.SendString(QStringLiteral("play MP3Play from 0"), nullptr, 0);
}

void BackgroundMusic::MP3Close() {
    media_.SendString(QStringLiteral("stop MP3Play"), nullptr, 0);
    media_.SendString(QStringLiteral("close MP3Play"), nullptr, 0);
}

void BackgroundMusic::WAVStart() {
    if (media_.WaveOutDeviceCount() > 0) media_.PlaySound(&settings_.BGMFile, kWavLoopFlags);
}

void BackgroundMusic::WAVStop() { media_.PlaySound(nullptr, 0); }

std::unique_ptr<ShowMusic> MakeBackgroundMusic(const Settings& settings) {
    return std::make_unique<BackgroundMusic>(settings, sound::MakeLoadedMultimedia());
}

} // namespace quelm
