// The music's rules: which command strings go out, in which order, with which reply buffers,
// and what the music makes of the replies. A recording stand-in for the multimedia services
// answers each command with a scripted reply or error.
#include "music/background_music.h"

#include <QStringList>

#include <gtest/gtest.h>

#include <deque>
#include <map>
#include <optional>
#include <ostream>

QT_BEGIN_NAMESPACE
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }
QT_END_NAMESPACE

namespace quelm {
namespace {

struct Scripted {
    uint32_t result = 0;
    QString reply;
};

class RecordingMedia final : public mm::Multimedia {
public:
    struct Sent {
        QString command;
        uint32_t replyChars;
    };
    std::vector<Sent> sent;
    std::map<QString, std::deque<Scripted>> script;  // per command; the last answer repeats
    std::map<uint32_t, QString> descriptions;
    std::vector<std::pair<std::optional<QString>, uint32_t>> sounds;
    uint32_t waveDevices = 1;

    void Answer(const QString& command, uint32_t result, const QString& reply = {}) {
        script[command].push_back({result, reply});
    }
    QStringList Commands() const {
        QStringList out;
        for (const Sent& s : sent) out << s.command;
        return out;
    }

    uint32_t SendString(const QString& command, char16_t* reply, uint32_t replyChars) override {
        sent.push_back({command, reply ? replyChars : 0});
        auto it = script.find(command);
        if (it == script.end() || it->second.empty()) {
            if (reply && replyChars) reply[0] = u'\0';
            return 0;
        }
        const Scripted a = it->second.front();
        if (it->second.size() > 1) it->second.pop_front();
        if (a.result == 0) mm::CopyReply(a.reply, reply, replyChars);
        return a.result;
    }
    bool GetErrorString(uint32_t error, char16_t* text, uint32_t textChars) override {
        auto it = descriptions.find(error);
        if (it == descriptions.end()) return false;
        mm::CopyReply(it->second, text, textChars);
        return true;
    }
    bool PlaySound(const QString* sound, uint32_t flags) override {
        sounds.emplace_back(sound ? std::optional<QString>(*sound) : std::nullopt, flags);
        return true;
    }
    uint32_t WaveOutDeviceCount() override { return waveDevices; }
};

class MusicRules : public ::testing::Test {
protected:
    Settings settings;
    RecordingMedia media;
    BackgroundMusic music{settings, media};

    void Disc(const QString& current, const QString& mode, const QString& tracks = QStringLiteral("4")) {
        media.Answer(QStringLiteral("status cdaudio current track"), 0, current);
        media.Answer(QStringLiteral("status cdaudio number of tracks"), 0, tracks);
        media.Answer(QStringLiteral("status cdaudio mode"), 0, mode);
    }
};

const QStringList kPollQueries = {QStringLiteral("status cdaudio current track"),
                                  QStringLiteral("status cdaudio number of tracks"),
                                  QStringLiteral("status cdaudio mode")};

TEST_F(MusicRules, MciSendRefusesAnEmptyCommandWithoutSendingIt) {
    QString text = QStringLiteral("old");
    EXPECT_EQ(music.MciSend(QString(), text), -1);
    EXPECT_EQ(text, QStringLiteral("コマンド文字列が指定されていません"));
    EXPECT_TRUE(media.sent.empty());
}

TEST_F(MusicRules, MciSendGivesTheReplyUpToItsFirstNulFromA512CharacterBuffer) {
    media.Answer(QStringLiteral("status x mode"), 0, QStringLiteral("playing") + QChar(u'\0') + QStringLiteral("junk"));
    QString text;
    EXPECT_EQ(music.MciSend(QStringLiteral("status x mode"), text), 0);
    EXPECT_EQ(text, QStringLiteral("playing"));
    ASSERT_EQ(media.sent.size(), 1u);
    EXPECT_EQ(media.sent[0].replyChars, 512u);

    // A reply longer than the buffer arrives cut to 511 characters and its NUL.
    media.Answer(QStringLiteral("long"), 0, QString(600, u'a'));
    EXPECT_EQ(music.MciSend(QStringLiteral("long"), text), 0);
    EXPECT_EQ(text.size(), 511);
}

TEST_F(MusicRules, MciSendGivesTheErrorDescriptionOrItsOwnTextWhenThereIsNone) {
    media.descriptions[263] = QStringLiteral("The specified device is not open.");
    media.Answer(QStringLiteral("status nowhere mode"), 263);
    media.Answer(QStringLiteral("odd"), 999);
    QString text;
    EXPECT_EQ(music.MciSend(QStringLiteral("status nowhere mode"), text), 263);
    EXPECT_EQ(text, QStringLiteral("The specified device is not open."));
    EXPECT_EQ(music.MciSend(QStringLiteral("odd"), text), 999);
    EXPECT_EQ(text, QStringLiteral("Error (文字列が取れません)"));

    // Descriptions come through a 256-character buffer.
    media.descriptions[264] = QString(300, u'd');
    media.Answer(QStringLiteral("big"), 264);
    music.MciSend(QStringLiteral("big"), text);
    EXPECT_EQ(text.size(), 255);
}

TEST_F(MusicRules, MciQueryReturnsErrorAndTheNumberButKeepsTheDescription) {
    media.descriptions[263] = QStringLiteral("not open");
    media.Answer(QStringLiteral("status cdaudio mode"), 263);
    EXPECT_EQ(music.MciQuery(QStringLiteral("status cdaudio mode")), QStringLiteral("Error:263"));
    EXPECT_EQ(music.LastMciReply, QStringLiteral("not open"));
    media.Answer(QStringLiteral("status cdaudio number of tracks"), 0, QStringLiteral("10"));
    EXPECT_EQ(music.MciQuery(QStringLiteral("status cdaudio number of tracks")), QStringLiteral("10"));
    EXPECT_EQ(music.LastMciReply, QStringLiteral("10"));
    EXPECT_EQ(music.MciQuery(QString()), QStringLiteral("Error:-1"));
}

TEST_F(MusicRules, MciPlayBuildsItsCommandFromTheGivenParts) {
    music.MciPlay(QStringLiteral("cdaudio"), QString(), QString());
    music.MciPlay(QStringLiteral("cdaudio"), QStringLiteral("03:00:00:00"), QString());
    music.MciPlay(QStringLiteral("cdaudio"), QStringLiteral("1"), QStringLiteral("2"));
    music.MciPlay(QStringLiteral("cdaudio"), QString(), QStringLiteral("2"));
    EXPECT_EQ(media.Commands(), (QStringList{"play cdaudio", "play cdaudio from 03:00:00:00",
                                             "play cdaudio from 1 to 2", "play cdaudio to 2"}));
}

TEST_F(MusicRules, CdOpenAndCloseSendTheirTwoCommandsWithoutReplyBuffers) {
    music.CDOpen();
    music.CDClose();
    EXPECT_EQ(media.Commands(), (QStringList{"open cdaudio", "set cdaudio time format tmsf", "stop cdaudio",
                                             "close cdaudio"}));
    for (const auto& s : media.sent) EXPECT_EQ(s.replyChars, 0u);
}

TEST_F(MusicRules, RepeatTrackSeeksBackWhenAnotherTrackPlaysOrTheDiscStopped) {
    settings.BGMRepeat = 3;
    media.Answer(QStringLiteral("status cdaudio position track 3"), 0, QStringLiteral("03:00:00:00"));
    Disc(QStringLiteral("3"), QStringLiteral("playing"));
    EXPECT_TRUE(music.CDPoll());
    EXPECT_EQ(media.Commands(), kPollQueries);
    EXPECT_EQ(media.sent[2].replyChars, 255u);

    media.sent.clear();
    media.script.clear();
    media.Answer(QStringLiteral("status cdaudio position track 3"), 0, QStringLiteral("03:00:00:00"));
    Disc(QStringLiteral("4"), QStringLiteral("playing"));
    EXPECT_TRUE(music.CDPoll());
    EXPECT_EQ(media.Commands(), (kPollQueries + QStringList{"status cdaudio position track 3",
                                                             "play cdaudio from 03:00:00:00"}));

    media.sent.clear();
    media.script.clear();
    media.Answer(QStringLiteral("status cdaudio position track 3"), 0, QStringLiteral("03:00:00:00"));
    Disc(QStringLiteral("3"), QStringLiteral("stopped"));
    EXPECT_TRUE(music.CDPoll());
    EXPECT_EQ(media.Commands().last(), QStringLiteral("play cdaudio from 03:00:00:00"));
    EXPECT_TRUE(music.CDPolling);
}

TEST_F(MusicRules, PlayThroughRestartsOnlyAStoppedDeviceFromWhereItStands) {
    Disc(QStringLiteral("2"), QStringLiteral("playing"));
    EXPECT_TRUE(music.CDPoll());
    EXPECT_EQ(media.Commands(), kPollQueries);
    media.sent.clear();
    media.script.clear();
    Disc(QStringLiteral("2"), QStringLiteral("stopped"));
    EXPECT_TRUE(music.CDPoll());
    EXPECT_EQ(media.Commands(), (kPollQueries + QStringList{"play cdaudio"}));
}

TEST_F(MusicRules, NoDiscEndsThePollingAfterTheFirstQuery) {
    media.descriptions[276] = QStringLiteral("not ready");
    media.Answer(QStringLiteral("status cdaudio current track"), 276);
    EXPECT_FALSE(music.CDPoll());
    EXPECT_FALSE(music.CDPolling);
    EXPECT_EQ(media.Commands(), QStringList{"status cdaudio current track"});
    EXPECT_EQ(music.LastMciReply, QStringLiteral("not ready"));
}

TEST_F(MusicRules, AFailingTrackCountEndsThePolling) {
    media.Answer(QStringLiteral("status cdaudio current track"), 0, QStringLiteral("1"));
    media.Answer(QStringLiteral("status cdaudio number of tracks"), 276);
    EXPECT_FALSE(music.CDPoll());
    EXPECT_EQ(media.Commands().size(), 2);
}

TEST_F(MusicRules, ACurrentTrackThatIsNoNumberEndsThePollingOnlyWhenRepeating) {
    // "ERR" anywhere in the reply, in any case, counts as an error.
    Disc(QStringLiteral("terrible"), QStringLiteral("stopped"));
    EXPECT_FALSE(music.CDPoll());

    media.script.clear();
    Disc(QStringLiteral("x"), QStringLiteral("stopped"));
    EXPECT_TRUE(music.CDPoll());  // repeat 0 never reads the track as a number
    settings.BGMRepeat = 2;
    media.sent.clear();
    EXPECT_FALSE(music.CDPoll());
    EXPECT_EQ(media.Commands(), kPollQueries);  // nothing played

    media.script.clear();
    media.sent.clear();
    Disc(QStringLiteral(" 2 "), QStringLiteral("playing"));  // a number with blanks compares
    EXPECT_TRUE(music.CDPoll());
    EXPECT_EQ(media.Commands(), kPollQueries);
}

TEST_F(MusicRules, AFailedModeQueryReusesTheModeOfThePreviousPoll) {
    Disc(QStringLiteral("1"), QStringLiteral("stopped"));
    music.CDPoll();
    media.script[QStringLiteral("status cdaudio mode")] = {{277, {}}};
    media.sent.clear();
    music.CDPoll();
    EXPECT_EQ(media.Commands().last(), QStringLiteral("play cdaudio"));

    media.script[QStringLiteral("status cdaudio mode")] = {{0, QStringLiteral("playing")}, {277, {}}};
    music.CDPoll();
    media.sent.clear();
    music.CDPoll();  // fails: still "playing" from before
    EXPECT_EQ(media.Commands(), kPollQueries);
}

TEST_F(MusicRules, ARepeatTrackBeyondTheDiscPlaysTheErrorTextAndPollsOn) {
    settings.BGMRepeat = 12;
    media.Answer(QStringLiteral("status cdaudio position track 12"), 282);
    media.Answer(QStringLiteral("play cdaudio from Error:282"), 270);
    media.descriptions[270] = QStringLiteral("bad integer");
    Disc(QStringLiteral("1"), QStringLiteral("stopped"), QStringLiteral("10"));
    EXPECT_TRUE(music.CDPoll());
    EXPECT_EQ(media.Commands().last(), QStringLiteral("play cdaudio from Error:282"));
    EXPECT_EQ(music.LastMciReply, QStringLiteral("bad integer"));
    EXPECT_TRUE(music.CDPoll());
}

TEST_F(MusicRules, Mp3OpenQuotesThePathAndPlaysOnlyWhatOpened) {
    settings.BGMFile = QStringLiteral("/home/ユーザー/my music/song.mp3");
    music.MP3Open();
    EXPECT_EQ(music.MP3OpenResult(), 0u);
    EXPECT_EQ(media.Commands(), (QStringList{"open \"/home/ユーザー/my music/song.mp3\" type MPEGVideo Alias MP3Play",
                                             "play MP3Play"}));
    media.sent.clear();
    media.Answer(QStringLiteral("open \"/home/ユーザー/my music/song.mp3\" type MPEGVideo Alias MP3Play"), 296);
    music.MP3Open();
    EXPECT_EQ(music.MP3OpenResult(), 296u);
    EXPECT_EQ(media.Commands().size(), 1);
}

TEST_F(MusicRules, Mp3KeepRestartsFromZeroOnlyWhenNotPlaying) {
    media.Answer(QStringLiteral("status MP3Play mode"), 0, QStringLiteral("playing"));
    music.MP3Keep();
    EXPECT_EQ(media.Commands(), QStringList{"status MP3Play mode"});
    EXPECT_EQ(media.sent[0].replyChars, 30u);

    media.sent.clear();
    media.script.clear();
    media.Answer(QStringLiteral("status MP3Play mode"), 0, QStringLiteral("stopped"));
    music.MP3Keep();
    EXPECT_EQ(media.Commands(), (QStringList{"status MP3Play mode", "stop MP3Play", "play MP3Play from 0"}));

    // A device that answers nothing counts as not playing.
    media.sent.clear();
    media.script.clear();
    media.Answer(QStringLiteral("status MP3Play mode"), 263);
    EXPECT_FALSE(music.MP3IsPlaying());
    media.script.clear();
    media.Answer(QStringLiteral("status MP3Play mode"), 0, QStringLiteral("playin"));
    EXPECT_FALSE(music.MP3IsPlaying());

    media.sent.clear();
    music.MP3Close();
    EXPECT_EQ(media.Commands(), (QStringList{"stop MP3Play", "close MP3Play"}));
}

TEST_F(MusicRules, WavLoopsThroughTheSoundPlayerOnlyWhenThereIsAnOutput) {
    settings.BGMFile = QStringLiteral("/music/loop.wav");
    music.WAVStart();
    ASSERT_EQ(media.sounds.size(), 1u);
    EXPECT_EQ(media.sounds[0].first, std::optional<QString>(QStringLiteral("/music/loop.wav")));
    EXPECT_EQ(media.sounds[0].second, 9u);
    music.WAVStop();
    ASSERT_EQ(media.sounds.size(), 2u);
    EXPECT_FALSE(media.sounds[1].first.has_value());
    EXPECT_EQ(media.sounds[1].second, 0u);

    media.waveDevices = 0;
    music.WAVStart();
    EXPECT_EQ(media.sounds.size(), 2u);
    EXPECT_TRUE(media.sent.empty());
}

} // namespace
} // namespace quelm
