// The MCI command-string interpreter on any lines of commands, with its real devices: a
// disc image as the CD drive, one short WAV file as a music file, and no sound server, so
// that a play fails at once as on a machine without one. Properties: every error returned
// has a description; a reply ends with a NUL inside its buffer; a failed command leaves
// the buffer as it was. Inputs naming a path are skipped, so only the harness's own files
// are ever opened. The first byte is the reply buffer's size.
#include "fuzz_check.h"
#include "platform/cd_audio_device.h"
#include "platform/mci.h"

#include <QStringList>

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
constexpr int kWavFrames = kWavRate / 10; // a tenth of a second of silence
constexpr int kMaxCommands = 16;
constexpr int kMaxReplyChars = 40;
constexpr int kErrorChars = 256;
constexpr char16_t kUntouched = 0xABCD;

std::string folder; // the harness's files, removed when it ends

void PutLe(std::string& out, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out += static_cast<char>((value >> (8 * i)) & 0xFF);
}

// 16-bit mono PCM WAV of silence.
std::string SilentWav() {
    const uint32_t dataBytes = kWavFrames * 2;
    std::string wav = "RIFF";
    PutLe(wav, 36 + dataBytes, 4);
    wav += "WAVEfmt ";
    PutLe(wav, 16, 4);
    PutLe(wav, 1, 2); // PCM
    PutLe(wav, 1, 2); // mono
    PutLe(wav, kWavRate, 4);
    PutLe(wav, kWavRate * 2, 4);
    PutLe(wav, 2, 2);
    PutLe(wav, 16, 2);
    wav += "data";
    PutLe(wav, dataBytes, 4);
    wav.append(dataBytes, '\0');
    return wav;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    char name[] = "/tmp/quelm-mci-fuzz-XXXXXX";
    if (!::mkdtemp(name) || ::chdir(name) != 0) std::abort();
    folder = name;
    std::atexit([] {
        std::error_code ec;
        std::filesystem::remove_all(folder, ec);
    });
    const std::string& here = folder;
    std::ofstream(here + "/disc.bin", std::ios::binary)
        << std::string(static_cast<size_t>(kDiscSeconds) * quelm::mm::kSectorsPerSecond * kBytesPerSector, '\0');
    std::ofstream(here + "/disc.cue") << "FILE \"disc.bin\" BINARY\n"
                                         "  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n"
                                         "  TRACK 02 AUDIO\n    INDEX 01 00:02:00\n";
    std::ofstream(here + "/a.wav", std::ios::binary) << SilentWav();
    ::setenv(quelm::mm::kCdDeviceVariable, (here + "/disc.cue").c_str(), 1);
    ::setenv("PULSE_SERVER", ("unix:" + here + "/no-server").c_str(), 1);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const uint32_t replyChars = data[0] % kMaxReplyChars;
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data) + 1, static_cast<qsizetype>(size - 1));
    if (text.contains(QLatin1Char('/'))) return 0;
    const auto media = quelm::mm::MakeSystemMultimedia();
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
            bool ended = false;
            for (uint32_t i = 0; i < replyChars && !ended; ++i) ended = reply[i] == u'\0';
            FUZZ_CHECK(ended);
        }
    }
    return 0;
}
