#include "startup/recording_arguments.h"

namespace quelm {
namespace {

std::optional<int> WholeNumber(const QString& text, int low, int high) {
    bool ok = false;
    const int value = text.toInt(&ok);
    if (!ok || value < low || value > high) return std::nullopt;
    return value;
}

std::optional<QSize> ParseSize(const QString& text) {
    const QStringList parts = text.split(QLatin1Char('x'));
    if (parts.size() != 2) return std::nullopt;
    const auto w = WholeNumber(parts[0], kRecordMinSide, kRecordMaxSide);
    const auto h = WholeNumber(parts[1], kRecordMinSide, kRecordMaxSide);
    if (!w || !h) return std::nullopt;
    return QSize(*w, *h);
}

} // namespace

const char* RecordingUsage() {
    return "  --record DIR [--size WxH] [--ticks N] [--frames LIST] [--walls FOLDER]\n"
           "                 run the show off screen (default 1024x768, 600 ticks) with the\n"
           "                 current settings; write the frames of the ticks in LIST (e.g.\n"
           "                 1,300,600; default the last) as DIR/frame-NNNNNN.png and the eye's\n"
           "                 state of every tick to DIR/eye.txt; --walls draws the wall files\n"
           "                 found in FOLDER instead of preparing them\n";
}

std::optional<RecordingRequest> ParseRecordingArguments(const QStringList& args) {
    if (!args.contains(QLatin1String("--record"))) return std::nullopt;
    RecordingRequest request;
    RecordingOptions& options = request.options;
    auto refuse = [&](std::string why) {
        request.error = std::move(why);
        return request;
    };
    QString framesText;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& name = args[i];
        if (i + 1 >= args.size()) {
            return refuse("missing value after " + name.toStdString());
        }
        const QString value = args[++i];
        if (name == QLatin1String("--record")) {
            options.outputFolder = value.toStdString();
        } else if (name == QLatin1String("--size")) {
            const auto size = ParseSize(value);
            if (!size) {
                return refuse("--size wants WIDTHxHEIGHT, each 16 to 8192");
            }
            options.size = *size;
        } else if (name == QLatin1String("--ticks")) {
            const auto ticks = WholeNumber(value, 1, kRecordMaxTicks);
            if (!ticks) {
                return refuse("--ticks wants a number from 1 to 10000000");
            }
            options.ticks = *ticks;
        } else if (name == QLatin1String("--frames")) {
            framesText = value;
        } else if (name == QLatin1String("--walls")) {
            options.wallFolder = value.toStdString();
        } else {
            return refuse("unknown recording option " + name.toStdString());
        }
    }
    if (options.outputFolder.empty()) {
        return refuse("--record wants an output folder");
    }
    if (!framesText.isNull()) {
        for (const QString& item : framesText.split(QLatin1Char(','))) {
            const auto tick = WholeNumber(item.trimmed(), 1, options.ticks);
            if (!tick) {
                return refuse("--frames wants ticks from 1 to the number of ticks, separated by commas");
            }
            options.frames.insert(*tick);
        }
    }
    if (options.frames.empty()) options.frames.insert(options.ticks);
    return request;
}

} // namespace quelm
