#include "platform/sound_loader.h"

#include <dlfcn.h>

#include <cstdio>

namespace quelm::mm {
namespace {

class LoadedMultimedia final : public Multimedia {
public:
    uint32_t SendString(const QString& command, char16_t* reply, uint32_t replyChars) override {
        Multimedia* media = Media();
        return media ? media->SendString(command, reply, replyChars) : MCIERR_DEVICE_NOT_INSTALLED;
    }
    bool GetErrorString(uint32_t error, char16_t* text, uint32_t textChars) override {
        Multimedia* media = Media();
        return media && media->GetErrorString(error, text, textChars);
    }
    bool PlaySound(const QString* sound, uint32_t flags) override {
        Multimedia* media = Media();
        return media && media->PlaySound(sound, flags);
    }
    uint32_t WaveOutDeviceCount() override {
        Multimedia* media = Media();
        return media ? media->WaveOutDeviceCount() : 0;
    }

private:
    Multimedia* Media() {
        if (tried_) return media_.get();
        tried_ = true;
        // Never unloaded: its threads and the libraries it brought may outlive one show.
        void* module = dlopen(kSoundModuleFile, RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
        auto make = module ? reinterpret_cast<SoundModuleFactory>(dlsym(module, kSoundModuleFactory)) : nullptr;
        if (make) media_.reset(make());
        if (!media_) std::fprintf(stderr, "quelm: loading the sound module: %s\n", module ? "no factory" : dlerror());
        return media_.get();
    }

    bool tried_ = false;
    std::unique_ptr<Multimedia> media_;
};

} // namespace

std::unique_ptr<Multimedia> MakeLoadedMultimedia() { return std::make_unique<LoadedMultimedia>(); }

} // namespace quelm::mm
