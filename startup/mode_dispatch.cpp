#include "startup/mode_dispatch.h"

#include "platform/core/vb_runtime.h"

#include <cmath>

namespace quelm {

Mode ModeOf(const QString& commandLine) {
    if (commandLine.isEmpty()) return Mode::SaverVisible;
    const QString upper = commandLine.toUpper();
    if (upper.size() < 2) return Mode::End;
    switch (upper[1].unicode()) {
    case 'P': return Mode::Preview;
    case 'C': return Mode::Settings;
    case 'S': return Mode::Saver;
    default: return Mode::End;
    }
}

uint32_t HostHandleOf(const QString& commandLine) {
    const QString tail = commandLine.mid(3);
    const double value = std::nearbyint(core::Val(tail.toStdString()));
    if (!(value >= 0) || value > 4294967295.0) return 0;
    return static_cast<uint32_t>(value);
}

} // namespace quelm
