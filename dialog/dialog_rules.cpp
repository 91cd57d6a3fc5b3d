#include "dialog/dialog_rules.h"

#include "platform/core/vb_runtime.h"

#include <cmath>

namespace quelm::dialog {

Point WindowPlacement(double screenWidth, double screenHeight, double windowWidth, double windowHeight) {
    constexpr long long kAcross = 2; // centred across
    constexpr long long kDown = 3;   // a third of the free height from the top
    const long long freeWidth = std::llround(screenWidth - windowWidth);
    const long long freeHeight = std::llround(screenHeight - windowHeight);
    return {static_cast<int>(freeWidth / kAcross), static_cast<int>(freeHeight / kDown)};
}

MusicControls MusicControlsFor(int16_t bgmKind) { return {bgmKind == kBgmFile, bgmKind == kBgmCd}; }

QString FormatHashHash(int value) { return value == 0 ? QString() : QString::number(value); }

int16_t RepeatFromText(const QString& text, int16_t previous) {
    const auto number = core::ParseNumber(text.toStdString());
    if (!number) return 0;
    const auto whole = core::ToInt16(*number);
    return whole ? *whole : previous;
}

bool ChoiceTaken(const Settings& current, const Settings& chosen, const std::filesystem::path& ini) {
    const SaveRehearsal before = RehearseSave(current, ini);
    const SaveRehearsal after = RehearseSave(chosen, ini);
    // A changed path must come back, fitting the request; an unchanged one must not be lost.
    auto keeps = [&](const QString& was, const QString& now, const QString& wasBack, const QString& nowBack) {
        if (was != now) return nowBack == now && after.text.StoredBytes(now) < kFileNameBufferBytes;
        return wasBack != was || nowBack == now;
    };
    for (int i = 1; i <= kWallCount; ++i)
        if (!keeps(current.PicPath[i], chosen.PicPath[i], before.PicPath[i], after.PicPath[i])) return false;
    return keeps(current.BGMFile, chosen.BGMFile, before.BGMFile, after.BGMFile);
}

QString QtNameFilter(const FileFilter& filter) {
    QString patterns;
    for (const QChar c : filter.patterns) {
        if (c == QLatin1Char(';')) {
            patterns += QLatin1Char(' ');
        } else if (c.toLower() != c.toUpper()) {
            patterns += QLatin1Char('[') + c.toLower() + c.toUpper() + QLatin1Char(']');
        } else {
            patterns += c;
        }
    }
    return filter.description + QStringLiteral(" (") + patterns + QLatin1Char(')');
}

} // namespace quelm::dialog
