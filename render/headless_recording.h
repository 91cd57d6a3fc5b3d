#pragma once
// Headless recording: the show run off screen at a chosen size for a number of ticks, with
// the current settings and the same wall preparation, motion and frame code as on the
// screen. Chosen frames are written as PNG files and the eye's state after every tick as
// text. OpenGL still needs an X display.
//
//   quelm --record DIR [--size WxH] [--ticks N] [--frames LIST] [--walls FOLDER]
//
//   DIR             output folder, made when missing
//   --size WxH      frame size in pixels (default 1024x768)
//   --ticks N       ticks to run (default 600)
//   --frames LIST   ticks whose frames are written, e.g. 1,300,600 (default: the last tick)
//   --walls FOLDER  draw the wall files Quib1.bmp .. Quib6.bmp found in FOLDER as they are,
//                   instead of preparing them from the settings
//
// Files: DIR/frame-NNNNNN.png for each chosen tick; DIR/eye.txt with one line a tick (tick 0
// is the start): tick EyeX EyeY EyeZ EyeYaw SpeedX SpeedY SpeedZ YawSpeed.
#include "settings/settings.h"

#include <QSize>
#include <QStringList>

#include <filesystem>
#include <optional>
#include <set>
#include <string>

namespace quelm {

inline constexpr int kRecordMinSide = 16;   // pixels
inline constexpr int kRecordMaxSide = 8192; // pixels
inline constexpr int kRecordMaxTicks = 10'000'000;
inline constexpr QSize kRecordDefaultSize{1024, 768};
inline constexpr int kRecordDefaultTicks = 600;

struct RecordingOptions {
    std::filesystem::path outputFolder;
    QSize size = kRecordDefaultSize;
    int ticks = kRecordDefaultTicks;
    std::set<int> frames; // ticks 1..ticks; empty: the last one
    std::optional<std::filesystem::path> wallFolder;
    std::string error; // set when --record was given with unusable arguments
};

// Nothing when the arguments do not ask for a recording (no --record); options with `error`
// set when they do but cannot be used.
std::optional<RecordingOptions> ParseRecordingArguments(const QStringList& args);

// The usage lines, for --help.
const char* RecordingUsage();

// Runs the recording; needs a QGuiApplication. 0 when every file was written; 1 when the
// device, the output folder or a file failed; 2 for unusable options. Messages go to stderr.
// Wall files prepared here live in a temporary folder that is removed at the end.
int RecordShow(const RecordingOptions& options, Settings& settings);

// The names of the files written.
std::filesystem::path RecordedFramePath(const std::filesystem::path& folder, int tick);
std::filesystem::path RecordedEyePath(const std::filesystem::path& folder);

} // namespace quelm
