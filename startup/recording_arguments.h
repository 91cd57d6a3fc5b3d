#pragma once
// The command line of the off-screen recording (render/headless_recording.h):
//
//   quelm --record DIR [--size WxH] [--ticks N] [--frames LIST] [--walls FOLDER]
//
//   DIR             output folder, made when missing
//   --size WxH      frame size in pixels (default 1024x768)
//   --ticks N       ticks to run (default 600)
//   --frames LIST   ticks whose frames are written, e.g. 1,300,600 (default: the last tick)
//   --walls FOLDER  draw the wall files Quib1.bmp .. Quib6.bmp found in FOLDER as they are,
//                   instead of preparing them from the settings
#include "render/headless_recording.h"

#include <QStringList>

#include <optional>
#include <string>

namespace quelm {

inline constexpr int kRecordMinSide = 16;   // pixels
inline constexpr int kRecordMaxSide = 8192; // pixels
inline constexpr int kRecordMaxTicks = 10'000'000;

struct RecordingRequest {
    RecordingOptions options;
    std::string error; // set when --record was given with unusable arguments
};

// Nothing when the arguments do not ask for a recording (no --record); a request with `error`
// set when they do but cannot be used.
std::optional<RecordingRequest> ParseRecordingArguments(const QStringList& args);

// The usage lines, for --help.
const char* RecordingUsage();

} // namespace quelm
