#include "dialog/dialog_rules.h"

#include "platform/codepage.h"
#include "platform/vb_runtime.h"
#include "settings/settings.h"

#include <cmath>

namespace quelm::dialog {

Point WindowPlacement(double screenWidth, double screenHeight, double windowWidth,
                      double windowHeight) {
    constexpr long long kAcross = 2; // centred across
    constexpr long long kDown = 3;   // a third of the free height from the top
    const long long freeWidth = std::llround(screenWidth - windowWidth);
    const long long freeHeight = std::llround(screenHeight - windowHeight);
    return {static_cast<int>(freeWidth / kAcross), static_cast<int>(freeHeight / kDown)};
}

MusicControls MusicControlsFor(int16_t bgmKind) {
    return {bgmKind == kBgmFile, bgmKind == kBgmCd};
}

QString FormatHashHash(int value) {
    return value == 0 ? QString() : QString::number(value);
}

int16_t RepeatFromText(const QString& text, int16_t previous) {
    const auto number = vb::ParseNumber(text.toStdString());
    if (!number) return 0;
    const auto whole = vb::ToInt16(*number);
    return whole ? *whole : previous;
}

bool PathFitsRequest(const QString& path) {
    const auto cp932 = codepage::ToCp932(path);
    const auto bytes = cp932 ? static_cast<long long>(cp932->size()) : path.toUtf8().size();
    return bytes < kFileNameBufferBytes;
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
