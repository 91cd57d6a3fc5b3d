#pragma once
// The show's music: the tracks of an audio CD (one track repeated, or the disc played on),
// or one music file, an MP3 that is started again whenever it has stopped or a WAV that the
// sound player loops. CD and MP3 are driven through MCI command strings, the WAV through the
// sound player; every failure is silent and only recorded in LastMciReply.
#include "platform/sound/mci.h"
#include "platform/sound/sound_player.h"
#include "saver/show_services.h"
#include "settings/settings.h"

#include <QString>

#include <array>
#include <cstdint>
#include <memory>

namespace quelm {

// Reply buffers, in characters (the closing NUL included).
inline constexpr uint32_t kReplyChars = 512;
inline constexpr uint32_t kErrorTextChars = 256;
inline constexpr uint32_t kCdModeChars = 255;
inline constexpr uint32_t kMp3ModeChars = 30;
// PlaySound flags for the background loop.
inline constexpr uint32_t kWavLoopFlags = sound::SND_ASYNC | sound::SND_LOOP;

inline const QString kNoCommandText = QStringLiteral("コマンド文字列が指定されていません");
inline const QString kNoErrorText = QStringLiteral("Error (文字列が取れません)");
inline const QString kQueryErrorPrefix = QStringLiteral("Error:");

class BackgroundMusic final : public ShowMusic {
public:
    // `settings` and `media` must outlive the music; the settings are read at each call.
    BackgroundMusic(const Settings& settings, sound::Multimedia& media);
    BackgroundMusic(const Settings& settings, std::unique_ptr<sound::Multimedia> media);

    void CDOpen() override;
    bool CDPoll() override; // one poll of the CD timer; returns CDPolling
    void CDClose() override;
    void MP3Open() override;
    void MP3Keep() override;
    void MP3Close() override;
    void WAVStart() override;
    void WAVStop() override;

    bool MP3IsPlaying();

    // One command; its reply, or its error's description, in `text`. 0 on success, -1 for
    // an empty command, else the error number.
    int32_t MciSend(const QString& command, QString& text);
    // The reply, or "Error:" followed by the error number.
    QString MciQuery(const QString& command);
    // "play <device>[ from <from>][ to <to>]".
    int32_t MciPlay(const QString& device, const QString& from, const QString& to);

    bool CDPolling = false;
    QString LastMciReply;

private:
    bool PollOnce();

    const Settings& settings_;
    std::unique_ptr<sound::Multimedia> owned_;
    sound::Multimedia& media_;
    std::array<char16_t, kCdModeChars> cdMode_{}; // kept between polls
};

// The show's music on the real CD drive, music files and sound server.
std::unique_ptr<ShowMusic> MakeBackgroundMusic(const Settings& settings);

} // namespace quelm
