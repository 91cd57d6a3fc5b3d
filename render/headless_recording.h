#pragma once
// Headless recording: the show run off screen at a chosen size for a number of ticks, with
// the current settings and the same wall preparation, motion and frame code as on the
// screen. Chosen frames are written as PNG files and the eye's state after every tick as
// text. OpenGL still needs an X display. Its command line: startup/recording_arguments.h.
//
// Files: DIR/frame-NNNNNN.png for each chosen tick; DIR/eye.txt with one line a tick (tick 0
// is the start): tick EyeX EyeY EyeZ EyeYaw SpeedX SpeedY SpeedZ YawSpeed.
#include "settings/settings.h"

#include <QSize>

#include <filesystem>
#include <optional>
#include <set>
#include <string>

namespace quelm {

inline constexpr QSize kRecordDefaultSize{1024, 768};
inline constexpr int kRecordDefaultTicks = 600;

struct RecordingOptions {
    std::filesystem::path outputFolder;
    QSize size = kRecordDefaultSize;
    int ticks = kRecordDefaultTicks;
    std::set<int> frames; // ticks 1..ticks; empty: the last one
    std::optional<std::filesystem::path> wallFolder;
};

// Runs the recording; needs a QGuiApplication. 0 when every file was written; 1 when the
// device, the output folder or a file failed. Messages go to stderr.
// Wall files prepared here live in a temporary folder that is removed at the end.
int RecordShow(const RecordingOptions& options, Settings& settings);

// The names of the files written.
std::filesystem::path RecordedFramePath(const std::filesystem::path& folder, int tick);
std::filesystem::path RecordedEyePath(const std::filesystem::path& folder);

} // namespace quelm
