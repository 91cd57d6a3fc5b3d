#include "platform/sound/sound_loader.h"

#include "platform/core/report.h"

#include <dlfcn.h>
#include <link.h>
#include <unistd.h>

#include <string>
#include <vector>

namespace quelm::sound {
namespace {

// Opens the module found along the program's own library search path (its RUNPATH first), by
// its full name: dlopen's own search would follow whoever calls it, and under a sanitizer
// that is the sanitizer's library. Null with the reason in `error` when it cannot be opened.
void* OpenSoundModule(std::string& error) {
    error = std::string(kSoundModuleFile) + ": not found along the program's library path";
    void* program = dlopen(nullptr, RTLD_NOW);
    Dl_serinfo size{};
    if (!program || dlinfo(program, RTLD_DI_SERINFOSIZE, &size) != 0) return nullptr;
    std::vector<unsigned char> buffer(size.dls_size);
    auto* paths = reinterpret_cast<Dl_serinfo*>(buffer.data());
    *paths = size; // the sizes, which dlinfo expects in the buffer
    if (dlinfo(program, RTLD_DI_SERINFO, paths) != 0) return nullptr;
    for (unsigned i = 0; i < paths->dls_cnt; ++i) {
        const std::string file = std::string(paths->dls_serpath[i].dls_name) + '/' + kSoundModuleFile;
        if (access(file.c_str(), F_OK) != 0) continue;
        // Never unloaded: its threads and the libraries it brought may outlive one show.
        if (void* module = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE)) return module;
        error = dlerror();
        return nullptr;
    }
    return nullptr;
}

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
        std::string error;
        void* module = OpenSoundModule(error);
        auto make = module ? reinterpret_cast<SoundModuleFactory>(dlsym(module, kSoundModuleFactory)) : nullptr;
        if (make) media_.reset(make());
        if (!media_) core::ReportError("loading the sound module: " + (module ? std::string("no factory") : error));
        return media_.get();
    }

    bool tried_ = false;
    std::unique_ptr<Multimedia> media_;
};

} // namespace

std::unique_ptr<Multimedia> MakeLoadedMultimedia() { return std::make_unique<LoadedMultimedia>(); }

} // namespace quelm::sound
