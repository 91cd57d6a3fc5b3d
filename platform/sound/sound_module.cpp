// The sound module's one entry point (sound_loader.h).
#include "platform/sound/sound_loader.h"

extern "C" __attribute__((visibility("default"))) quelm::sound::Multimedia* quelm_make_system_multimedia() {
    return quelm::sound::MakeSystemMultimedia().release();
}
