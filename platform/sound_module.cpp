// The sound module's one entry point (sound_loader.h).
#include "platform/sound_loader.h"

extern "C" __attribute__((visibility("default"))) quelm::mm::Multimedia* quelm_make_system_multimedia() {
    return quelm::mm::MakeSystemMultimedia().release();
}
