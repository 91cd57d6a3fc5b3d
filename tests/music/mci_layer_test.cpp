// The command-string layer on real disc images, real music files and the real sound server:
// every command the music sends, replies cut to the caller's buffer, and a number and a
// description for every failure.
#include "platform/cd_audio_device.h"
#include "platform/mci.h"
#include "platform/sound_player.h"
#include "sound_check.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <ostream>

QT_BEGIN_NAMESPACE
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }
QT_END_NAMESPACE

#include <array>
#include <chrono>
#include <cstdlib>
#include <iostream>
#include <thread>

namespace quelm {
namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kAtOnce = std::chrono::milliseconds(1000);  // a command that takes longer hangs

// One command with a 512-character reply buffer.
struct Reply {
    uint32_t result;
    QString text;
};
Reply Send(mm::Multimedia& media, const QString& command) {
    std::array<char16_t, 512> buffer{};
    const uint32_t result = media.SendString(command, buffer.data(), buffer.size());
    return {result, QString::fromUtf16(buffer.data())};
}

// Waits (polling, as for any outside device) until `command` replies `expected`.
bool ReplyBecomes(mm::Multimedia& media, const QString& command, const QString& expected,
                  std::chrono::milliseconds limit) {
    const auto deadline = Clock::now() + limit;
    while (Clock::now() < deadline) {
        if (Send(media, command).text == expected) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

class ScopedEnv {
public:
    ScopedEnv(const char* name, const std::string& value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        setenv(name, value.c_str(), 1);
    }
    ~ScopedEnv() {
        if (old_) setenv(name_, old_->c_str(), 1);
        else unsetenv(name_);
    }

private:
    const char* name_;
    std::optional<std::string> old_;
};

class CdAudio : public ::testing::Test {
protected:
    QTemporaryDir dir;
    std::unique_ptr<ScopedEnv> drive;
    std::unique_ptr<mm::Multimedia> media = mm::MakeSystemMultimedia();
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        const auto cue = testkit::MakeDiscImage(dir.path().toStdString(), {500, 800, 1100, 1400}, 1.0);
        drive = std::make_unique<ScopedEnv>(mm::kCdDeviceVariable, cue.string());
    }
};

TEST_F(CdAudio, AnswersEveryQueryOfTheMusicAndPlaysWhereItIsTold) {
    EXPECT_EQ(Send(*media, "open cdaudio").result, 0u);
    EXPECT_EQ(Send(*media, "status cdaudio time format").text, "msf");
    EXPECT_EQ(Send(*media, "status cdaudio position track 2").text, "00:03:00");  // LSN 75 + 2 s lead-in
    EXPECT_EQ(Send(*media, "set cdaudio time format tmsf").result, 0u);
    EXPECT_EQ(Send(*media, "status cdaudio number of tracks").text, "4");
    EXPECT_EQ(Send(*media, "status cdaudio current track").text, "1");
    EXPECT_TRUE(Send(*media, "status cdaudio mode").text.startsWith("stopped"));
    const Reply start3 = Send(*media, "status cdaudio position track 3");
    EXPECT_EQ(start3.text, "03:00:00:00");

    EXPECT_EQ(Send(*media, "play cdaudio from " + start3.text).result, 0u);
    EXPECT_EQ(Send(*media, "status cdaudio mode").text, "playing");
    EXPECT_EQ(Send(*media, "status cdaudio current track").text, "3");
    EXPECT_TRUE(ReplyBecomes(*media, "status cdaudio current track", "4", std::chrono::milliseconds(3000)));

    // Stopped, it stays on its track and plays on from there.
    EXPECT_EQ(Send(*media, "stop cdaudio").result, 0u);
    EXPECT_EQ(Send(*media, "status cdaudio mode").text, "stopped");
    const QString stoppedAt = Send(*media, "status cdaudio position").text;
    EXPECT_TRUE(stoppedAt.startsWith("04:00:")) << stoppedAt.toStdString();
    EXPECT_EQ(Send(*media, "play cdaudio").result, 0u);
    EXPECT_EQ(Send(*media, "status cdaudio mode").text, "playing");
    EXPECT_EQ(Send(*media, "status cdaudio current track").text, "4");

    // At the end of the disc it reports stopped; played again, it starts from the first track.
    EXPECT_TRUE(ReplyBecomes(*media, "status cdaudio mode", "stopped", std::chrono::milliseconds(3000)));
    EXPECT_EQ(Send(*media, "status cdaudio current track").text, "4");
    EXPECT_EQ(Send(*media, "play cdaudio").result, 0u);
    EXPECT_EQ(Send(*media, "status cdaudio current track").text, "1");

    EXPECT_EQ(Send(*media, "close cdaudio").result, 0u);
    EXPECT_EQ(Send(*media, "status cdaudio mode").result, mm::MCIERR_INVALID_DEVICE_NAME);
}

TEST_F(CdAudio, CutsTheReplyToTheBufferAndLeavesTheBufferAloneOnFailure) {
    ASSERT_EQ(Send(*media, "open cdaudio").result, 0u);
    std::array<char16_t, 4> small;
    small.fill(u'x');
    EXPECT_EQ(media->SendString("status cdaudio mode", small.data(), small.size()), 0u);
    EXPECT_EQ(QString::fromUtf16(small.data()), "sto");
    small.fill(u'x');
    EXPECT_EQ(media->SendString("status cdaudio position track 9", small.data(), small.size()),
              mm::MCIERR_OUTOFRANGE);
    EXPECT_EQ(small[0], u'x');
    EXPECT_EQ(media->SendString("status cdaudio mode", nullptr, 0), 0u);  // no buffer at all
}

TEST_F(CdAudio, EveryFailingCommandHasANumberAndADescription) {
    ASSERT_EQ(Send(*media, "open cdaudio").result, 0u);
    ASSERT_EQ(Send(*media, "set cdaudio time format tmsf").result, 0u);
    const std::vector<std::pair<QString, uint32_t>> cases = {
        {"", mm::MCIERR_MISSING_COMMAND_STRING},
        {"fly cdaudio", mm::MCIERR_UNRECOGNIZED_COMMAND},
        {"status", mm::MCIERR_MISSING_DEVICE_NAME},
        {"status MP3Play mode", mm::MCIERR_INVALID_DEVICE_NAME},
        {"status cdaudio", mm::MCIERR_MISSING_PARAMETER},
        {"status cdaudio colour", mm::MCIERR_UNRECOGNIZED_KEYWORD},
        {"status cdaudio position track x", mm::MCIERR_BAD_INTEGER},
        {"play cdaudio from Error:282", mm::MCIERR_BAD_INTEGER},
        {"play cdaudio from 05:00:00:00", mm::MCIERR_OUTOFRANGE},
        {"play cdaudio from 02:00:70:00", mm::MCIERR_OUTOFRANGE},
        {"play cdaudio from", mm::MCIERR_MISSING_PARAMETER},
        {"play cdaudio from 1 from 2", mm::MCIERR_DUPLICATE_FLAGS},
        {"play cdaudio wait", mm::MCIERR_UNRECOGNIZED_KEYWORD},
        {"set cdaudio time format hours", mm::MCIERR_BAD_CONSTANT},
        {"set cdaudio door open", mm::MCIERR_UNSUPPORTED_FUNCTION},
        {"open cdaudio", mm::MCIERR_DEVICE_OPEN},
        {"open cdaudio alias cdaudio", mm::MCIERR_DUPLICATE_ALIAS},
        {"open \"unclosed type MPEGVideo", mm::MCIERR_NO_CLOSING_QUOTE},
        {"open \"a\"b type MPEGVideo", mm::MCIERR_EXTRA_CHARACTERS},
        {"open x type", mm::MCIERR_MISSING_STRING_ARGUMENT},
        {"open x type waveaudio", mm::MCIERR_INVALID_DEVICE_NAME},
    };
    for (const auto& [command, expected] : cases) {
        const auto begun = Clock::now();
        std::array<char16_t, 8> reply;
        reply.fill(u'x');
        EXPECT_EQ(media->SendString(command, reply.data(), reply.size()), expected) << command.toStdString();
        EXPECT_EQ(reply[0], u'x') << command.toStdString();
        EXPECT_LT(Clock::now() - begun, kAtOnce);
        std::array<char16_t, 256> text{};
        EXPECT_TRUE(media->GetErrorString(expected, text.data(), text.size()));
        EXPECT_GT(QString::fromUtf16(text.data()).size(), 10);
    }
    std::array<char16_t, 256> text{};
    EXPECT_FALSE(media->GetErrorString(12345, text.data(), text.size()));
    std::array<char16_t, 6> cut;
    EXPECT_TRUE(media->GetErrorString(mm::MCIERR_INVALID_DEVICE_NAME, cut.data(), cut.size()));
    EXPECT_EQ(QString::fromUtf16(cut.data()), "The s");
}

TEST_F(CdAudio, WithoutASoundServerPlayFailsAtOnceAndTheDeviceStandsStill) {
    ScopedEnv noServer("PULSE_SERVER", "unix:" + dir.path().toStdString() + "/no-such-socket");
    ASSERT_EQ(Send(*media, "open cdaudio").result, 0u);
    const auto begun = Clock::now();
    EXPECT_EQ(Send(*media, "play cdaudio").result, mm::MCIERR_HARDWARE);
    EXPECT_LT(Clock::now() - begun, kAtOnce);
    EXPECT_EQ(Send(*media, "status cdaudio mode").text, "stopped");
    EXPECT_EQ(media->WaveOutDeviceCount(), 0u);
}

// A sound server of the test's own, so that it can go away in the middle of the music.
class PrivateServer {
public:
    explicit PrivateServer(const QString& folder) : socket_(folder + "/native"), folder_(folder) { Start(); }
    ~PrivateServer() { Kill(); }
    void Start() {
        process_ = std::make_unique<QProcess>();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("HOME", folder_);
        process_->setProcessEnvironment(env);
        process_->start("pulseaudio", {"--daemonize=no", "--exit-idle-time=-1", "-n", "--use-pid-file=no",
                                       "--load=module-null-sink sink_name=out",
                                       "--load=module-native-protocol-unix socket=" + socket_ + " auth-anonymous=1"});
        ASSERT_TRUE(process_->waitForStarted(5000));
        // Ready once it answers (polling, as for any outside process).
        const auto deadline = Clock::now() + std::chrono::seconds(10);
        bool answers = false;
        while (!answers && Clock::now() < deadline) {
            QProcess info;
            QProcessEnvironment infoEnv = QProcessEnvironment::systemEnvironment();
            infoEnv.insert("PULSE_SERVER", QString::fromStdString(Address()));
            info.setProcessEnvironment(infoEnv);
            info.start("pactl", {"info"});
            answers = info.waitForFinished(5000) && info.exitStatus() == QProcess::NormalExit && info.exitCode() == 0;
            if (!answers) std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        ASSERT_TRUE(answers);
    }
    void Kill() {
        if (!process_) return;
        process_->kill();
        process_->waitForFinished(5000);
        process_.reset();
        QFile::remove(socket_);
    }
    std::string Address() const { return "unix:" + socket_.toStdString(); }

private:
    QString socket_;
    QString folder_;
    std::unique_ptr<QProcess> process_;
};

TEST_F(CdAudio, ASoundServerThatGoesAwayStopsTheDiscAndOneThatComesBackPlaysIt) {
    QTemporaryDir serverDir;
    PrivateServer server(serverDir.path());
    ScopedEnv useIt("PULSE_SERVER", server.Address());
    ASSERT_EQ(Send(*media, "open cdaudio").result, 0u);
    ASSERT_EQ(Send(*media, "play cdaudio").result, 0u);
    ASSERT_EQ(Send(*media, "status cdaudio mode").text, "playing");
    server.Kill();
    const auto killed = Clock::now();
    EXPECT_TRUE(ReplyBecomes(*media, "status cdaudio mode", "stopped", std::chrono::milliseconds(2000)));
    std::cout << "[figure] server gone to mode stopped: "
              << std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - killed).count() << " ms\n";
    const auto begun = Clock::now();
    EXPECT_EQ(Send(*media, "play cdaudio").result, mm::MCIERR_HARDWARE);
    EXPECT_LT(Clock::now() - begun, kAtOnce);
    server.Start();
    EXPECT_EQ(Send(*media, "play cdaudio").result, 0u);
    EXPECT_EQ(Send(*media, "status cdaudio mode").text, "playing");
    EXPECT_EQ(Send(*media, "close cdaudio").result, 0u);
}

TEST(CdDrive, AMissingDriveFailsToOpenAndItsCommandsFailAtOnce) {
    ScopedEnv drive(mm::kCdDeviceVariable, "/nonexistent/disc.cue");
    auto media = mm::MakeSystemMultimedia();
    const auto begun = Clock::now();
    EXPECT_EQ(Send(*media, "open cdaudio").result, mm::MCIERR_DEVICE_NOT_INSTALLED);
    EXPECT_EQ(Send(*media, "status cdaudio current track").result, mm::MCIERR_INVALID_DEVICE_NAME);
    EXPECT_LT(Clock::now() - begun, kAtOnce);
}

class MusicFile : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString folder;
    std::unique_ptr<mm::Multimedia> media = mm::MakeSystemMultimedia();
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        folder = dir.path() + "/my music";
        std::filesystem::create_directories(folder.toStdString());
    }
};

TEST_F(MusicFile, OpensAQuotedPathWithBlanksUnderItsAliasAndPlaysFromZero) {
    const QString mp3 = folder + "/tone song.mp3";
    ASSERT_TRUE(testkit::MakeToneMp3(mp3.toStdString(), 700, 0.5));
    const QString open = "open \"" + mp3 + "\" type MPEGVideo Alias MP3Play";
    EXPECT_EQ(Send(*media, open).result, 0u);
    EXPECT_EQ(Send(*media, open).result, mm::MCIERR_DUPLICATE_ALIAS);
    EXPECT_EQ(Send(*media, "status MP3Play mode").text, "stopped");
    EXPECT_EQ(Send(*media, "play MP3Play").result, 0u);
    EXPECT_EQ(Send(*media, "status mp3play mode").text, "playing");  // aliases ignore case
    EXPECT_TRUE(ReplyBecomes(*media, "status MP3Play mode", "stopped", std::chrono::milliseconds(3000)));
    EXPECT_EQ(Send(*media, "stop MP3Play").result, 0u);
    EXPECT_EQ(Send(*media, "play MP3Play from 0").result, 0u);
    EXPECT_EQ(Send(*media, "status MP3Play mode").text, "playing");
    EXPECT_EQ(Send(*media, "stop MP3Play").result, 0u);
    EXPECT_EQ(Send(*media, "status MP3Play mode").text, "stopped");
    EXPECT_EQ(Send(*media, "play MP3Play from 99999").result, mm::MCIERR_OUTOFRANGE);
    EXPECT_EQ(Send(*media, "close MP3Play").result, 0u);
    EXPECT_EQ(Send(*media, "status MP3Play mode").result, mm::MCIERR_INVALID_DEVICE_NAME);
}

TEST_F(MusicFile, APathWithADoubleQuoteFailsAndOpensNoOtherFile) {
    // Files the broken-up command could be mistaken for.
    ASSERT_TRUE(testkit::MakeToneMp3((folder + "/a").toStdString(), 700, 0.3));
    ASSERT_TRUE(testkit::MakeToneMp3((folder + "/x").toStdString(), 700, 0.3));
    const QStringList paths = {folder + "/a\" b.mp3", folder + "/a\".mp3",
                               folder + "/a\" type MPEGVideo Alias MP3Play \"" + folder + "/x"};
    for (const QString& path : paths) {
        const auto begun = Clock::now();
        EXPECT_NE(Send(*media, "open \"" + path + "\" type MPEGVideo Alias MP3Play").result, 0u) << path.toStdString();
        EXPECT_LT(Clock::now() - begun, kAtOnce);
        EXPECT_EQ(Send(*media, "status MP3Play mode").result, mm::MCIERR_INVALID_DEVICE_NAME);
        EXPECT_EQ(Send(*media, "status \"" + folder + "/a\" mode").result, mm::MCIERR_INVALID_DEVICE_NAME);
    }
}

TEST_F(MusicFile, AFileThatIsNotAudioOrIsMissingDoesNotOpen) {
    const QString text = folder + "/notes.mp3";
    FILE* f = fopen(text.toLocal8Bit().constData(), "w");
    fputs("this is not music\n", f);
    fclose(f);
    EXPECT_EQ(Send(*media, "open \"" + text + "\" type MPEGVideo Alias MP3Play").result, mm::MCIERR_INVALID_FILE);
    EXPECT_EQ(Send(*media, "open \"" + folder + "/none.mp3\" type MPEGVideo Alias MP3Play").result,
              mm::MCIERR_FILE_NOT_FOUND);
    EXPECT_EQ(Send(*media, "open \"" + folder + "\" type MPEGVideo Alias MP3Play").result, mm::MCIERR_FILE_NOT_FOUND);
    EXPECT_EQ(Send(*media, "play MP3Play from 0").result, mm::MCIERR_INVALID_DEVICE_NAME);
}

TEST_F(MusicFile, TheSoundPlayerTakesOnlyWavFilesAndStopsOnRequest) {
    EXPECT_GE(media->WaveOutDeviceCount(), 1u);
    const QString wav = folder + "/loop.wav";
    const QString mp3 = folder + "/song.mp3";
    testkit::WriteToneWav(wav.toStdString(), 600, 0.5);
    ASSERT_TRUE(testkit::MakeToneMp3(mp3.toStdString(), 700, 0.3));
    mm::SoundPlayer player;
    EXPECT_FALSE(player.PlaySound(&mp3, mm::SND_ASYNC | mm::SND_LOOP));
    const QString missing = folder + "/none.wav";
    EXPECT_FALSE(player.PlaySound(&missing, mm::SND_ASYNC | mm::SND_LOOP));
    EXPECT_FALSE(player.PlaySound(&wav, mm::SND_LOOP));  // a loop must be asynchronous
    EXPECT_TRUE(player.PlaySound(&wav, mm::SND_ASYNC | mm::SND_LOOP));
    EXPECT_TRUE(player.Playing());
    EXPECT_FALSE(player.PlaySound(&wav, mm::SND_ASYNC | mm::SND_NOSTOP));
    EXPECT_TRUE(player.PlaySound(nullptr, 0));
    EXPECT_FALSE(player.Playing());
}

} // namespace
} // namespace quelm
