#pragma once
// The show's music as the show's window uses it.
#include "saver/show_services.h"
#include "startup/settings.h"

#include <memory>

namespace quelm {

std::unique_ptr<ShowMusic> MakeBackgroundMusic(const Settings& settings);

} // namespace quelm
