// The MCI command-string interpreter on any lines of commands, with its real devices: a
// disc image as the CD drive, one short WAV file as a music file, and no sound server, so
// that a play fails at once as on a machine without one. Properties: every error returned
// has a description; a reply ends with a NUL inside its buffer; a failed command leaves
// the buffer as it was. Inputs naming a path are skipped, so only the harness's own files
// are ever opened. The first byte is the reply buffer's size.
#include "fuzz_check.h"
#include "platform/sound/detail/cd_audio_device.h"
#include "platform/sound/mci.h"

#include <QStringList>
#include <sndfile.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kDiscSeconds = 4;
constexpr int kBytesPerSector = 2352;
constexpr int kWavRate = 8000;
constexpr int kWavFrames = kWavRate / 10; // a tenth of a second of silence, 16-bit mono
constexpr int kMaxCommands = 16;
constexpr int kMaxReplyChars = 40;
constexpr int kErrorChars = 256;
constexpr char16_t kUntouched = 0xABCD;

std::string folder; // the harness's files, removed when it ends

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    char name[] = "/tmp/quelm-mci-fuzz-XXXXXX";
    if (!::mkdtemp(name) || ::chdir(name) != 0) std::abort();
    folder = name;
    std::atexit([] {
        std::error_code ec;
        std::filesystem::remove_all(folder, ec);
    });
    std::ofstream(folder + "/disc.bin", std::ios::binary)
        << std::string(static_cast<size_t>(kDiscSeconds) * quelm::sound::kSectorsPerSecond * kBytesPerSector, '\0');
    std::ofstream(folder + "/disc.cue") << "FILE \"disc.bin\" BINARY\n"
                                           "  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n"
                                           "  TRACK 02 AUDIO\n    INDEX 01 00:02:00\n";
    SF_INFO wav{0, kWavRate, 1, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 0, 0}; // frames, rate, channels, format
    SNDFILE* sf = sf_open((folder + "/a.wav").c_str(), SFM_WRITE, &wav);
    const std::vector<short> silence(kWavFrames);
    if (!sf || sf_writef_short(sf, silence.data(), kWavFrames) != kWavFrames || sf_close(sf) != 0) std::abort();
    ::setenv(quelm::sound::kCdDeviceVariable, (folder + "/disc.cue").c_str(), 1);
    ::setenv("PULSE_SERVER", ("unix:" + folder + "/no-server").c_str(), 1);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const uint32_t replyChars = data[0] % kMaxReplyChars;
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data) + 1, static_cast<qsizetype>(size - 1));
    if (text.contains(QLatin1Char('/'))) return 0;
    const auto media = quelm::sound::MakeSystemMultimedia();
    const QStringList commands = text.split(QLatin1Char('\n'));
    for (qsizetype c = 0; c < commands.size() && c < kMaxCommands; ++c) {
        std::vector<char16_t> reply(replyChars + 1, kUntouched); // one more to see an overrun
        const uint32_t result = media->SendString(commands[c], replyChars ? reply.data() : nullptr, replyChars);
        FUZZ_CHECK(reply[replyChars] == kUntouched);
        if (result != 0) {
            for (char16_t ch : reply) FUZZ_CHECK(ch == kUntouched);
            char16_t description[kErrorChars];
            FUZZ_CHECK(media->GetErrorString(result, description, kErrorChars));
        } else if (replyChars) {
            FUZZ_CHECK(std::find(reply.begin(), reply.begin() + replyChars, u'\0') != reply.begin() + replyChars);
        }
    }
    return 0;
}
