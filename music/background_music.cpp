// Transitional: replaced by the real music.
#include "music/background_music.h"

namespace quelm {
namespace {
class PendingMusic final : public ShowMusic {
public:
    void CDOpen() override {}
    bool CDPoll() override { return false; }
    void CDClose() override {}
    void MP3Open() override {}
    void MP3Keep() override {}
    void MP3Close() override {}
    void WAVStart() override {}
    void WAVStop() override {}
};
} // namespace
std::unique_ptr<ShowMusic> MakeBackgroundMusic(const Settings&) { return std::make_unique<PendingMusic>(); }
} // namespace quelm
