// The music's rules: which command strings go out, in which order, with which reply buffers,
// and what the music makes of the replies. A recording stand-in for the multimedia services
// answers each command with a scripted reply or error.
#include "music/background_music.h"
#include "platform/sound/sound_loader.h"

#include <QStringList>

#include <gtest/gtest.h>

#include <deque>
#include <map>
#include <tuple>

QT_BEGIN_NAMESPACE
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }
QT_END_NAMESPACE

namespace quelm {
namespace {

class RecordingMedia final : public sound::Multimedia {
public:
    QStringList sent; // each command with its reply buffer's size: "command #chars"
    std::map<QString, std::deque<std::pair<uint32_t, QString>>> script; // per command; the last answer repeats

    void Answer(const QString& command, uint32_t result, const QString& reply = {}) {
        script[command].push_back({result, reply});
    }
    uint32_t SendString(const QString& command, char16_t* reply, uint32_t replyChars) override {
        sent << command + " #" + QString::number(reply ? replyChars : 0);
        auto& answers = script[command];
        const auto [result, text] = answers.empty() ? std::pair<uint32_t, QString>{} : answers.front();
        if (answers.size() > 1) answers.pop_front();
        if (result == 0) sound::CopyReply(text, reply, replyChars);
        return result;
    }
    bool GetErrorString(uint32_t, char16_t*, uint32_t) override { return false; }
    bool PlaySound(const QString*, uint32_t) override { return true; }
    uint32_t WaveOutDeviceCount() override { return 1; }
};

class MusicRules : public ::testing::Test {
protected:
    Settings settings;
    RecordingMedia media;
    BackgroundMusic music{settings, media};
    void Reset() { media.sent.clear(), media.script.clear(); }
};

const QStringList kPoll = {"status cdaudio current track #512", "status cdaudio number of tracks #512",
                           "status cdaudio mode #255"};

// The MP3 is started again from its beginning unless its device answers exactly "playing"
// (what the plain verbs send is heard in music_sound_test, on the real sound server).
TEST_F(MusicRules, Mp3KeepStartsTheFileAgainUnlessItIsPlaying) {
    const QStringList restart = {"status MP3Play mode #30", "stop MP3Play #0", "play MP3Play from 0 #0"};
    const std::tuple<uint32_t, QString, QStringList> rows[] = {
        {0, "playing", {restart[0]}}, {263, "", restart}, {0, "playin", restart}};
    for (const auto& [result, reply, sent] : rows) {
        Reset();
        media.Answer("status MP3Play mode", result, reply);
        music.MP3Keep();
        EXPECT_EQ(media.sent, sent) << reply.toStdString();
    }
}

TEST_F(MusicRules, CdPollKeepsTheChosenTrackOrThePlayThroughGoing) {
    struct Row {
        int repeat;
        QString current;
        uint32_t currentError, tracksError;
        QString mode;
        bool polling;
        QStringList sent;
    };
    const QStringList seek =
        kPoll + QStringList{"status cdaudio position track 3 #512", "play cdaudio from 03:00:00:00 #512"};
    const QStringList play = kPoll + QStringList{"play cdaudio #512"}; // on from where it stands
    const Row rows[] = {
        {3, "3", 0, 0, "stopped", true, seek},
        {0, "2", 0, 0, "playing", true, kPoll},
        {0, "1", 0, 276, "stopped", false, kPoll.mid(0, 2)},
        {0, "terrible", 0, 0, "stopped", false, {kPoll[0]}}, // "ERR" in any case is an error
        {0, "x", 0, 0, "stopped", true, play},               // play-through never reads the track as a number
        {2, "x", 0, 0, "stopped", false, kPoll},
        {2, " 2 ", 0, 0, "playing", true, kPoll},
        // A track beyond the disc: the failed seek's text is played, and the polling goes on.
        {12, "1", 0, 0, "stopped", true,
         kPoll + QStringList{"status cdaudio position track 12 #512", "play cdaudio from Error:282 #512"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.current.toStdString());
        Reset();
        media.Answer("status cdaudio current track", row.currentError, row.current);
        media.Answer("status cdaudio number of tracks", row.tracksError, "4");
        media.Answer("status cdaudio mode", 0, row.mode);
        media.Answer("status cdaudio position track 3", 0, "03:00:00:00");
        media.Answer("status cdaudio position track 12", 282);
        settings.BGMRepeat = row.repeat;
        BackgroundMusic fresh(settings, media);
        EXPECT_EQ(fresh.CDPoll(), row.polling);
        EXPECT_EQ(media.sent, row.sent);
    }
    // A failed mode query reuses the mode of the previous poll: still "playing", nothing is played.
    Reset();
    settings.BGMRepeat = 0;
    media.Answer("status cdaudio number of tracks", 0, "4");
    media.Answer("status cdaudio mode", 0, "playing");
    media.Answer("status cdaudio mode", 277);
    music.CDPoll();
    media.sent.clear();
    EXPECT_TRUE(music.CDPoll());
    EXPECT_EQ(media.sent, kPoll);
}

// This test program has no library path to the sound module, as a program installed without it.
TEST(SoundModule, WhenItCannotBeLoadedEveryCommandFailsAndThereIsNoOutputDevice) {
    const auto media = sound::MakeLoadedMultimedia();
    EXPECT_EQ(media->SendString("open cdaudio", nullptr, 0), sound::MCIERR_DEVICE_NOT_INSTALLED);
    EXPECT_EQ(media->WaveOutDeviceCount(), 0u);
    const QString wav = "loop.wav";
    EXPECT_FALSE(media->PlaySound(&wav, 0));
}

} // namespace
} // namespace quelm
