#pragma once
// The program's mode, read from its command line: only the second character of the
// upper-cased text decides; the first ("/" or "-") is never looked at.
#include <QString>
#include <cstdint>

namespace quelm {

enum class Mode {
    Preview,      // "P": the preview inside the host's window
    Settings,     // "C": the settings dialog
    Saver,        // "S": the show, pointer hidden
    SaverVisible, // empty command line: the show, pointer left alone
    End,          // anything else: end at once
};

Mode ModeOf(const QString& commandLine);

// The host window's handle: the text from the fourth character on, read leniently and
// rounded to a whole number; 0 when there is none or it does not fit in 32 bits.
uint32_t HostHandleOf(const QString& commandLine);

} // namespace quelm
