#include "startup/hack_mode.h"

namespace quelm {

std::optional<uint32_t> ParseWindowId(const QString& text) {
    const QString t = text.trimmed();
    bool ok = false;
    qulonglong v = 0;
    if (t.startsWith(QLatin1String("0x"), Qt::CaseInsensitive))
        v = t.mid(2).toULongLong(&ok, 16);
    else
        v = t.toULongLong(&ok, 10);
    if (!ok || v == 0 || v > 0xFFFFFFFFull) return std::nullopt;
    return static_cast<uint32_t>(v);
}

std::optional<HackRequest> ParseHackArguments(const QStringList& args) {
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        if (a == QLatin1String("-root") || a == QLatin1String("--root")) return HackRequest{true, 0};
        if (a == QLatin1String("-window-id") || a == QLatin1String("--window-id")) {
            const QString id = i + 1 < args.size() ? args[i + 1] : QString();
            return HackRequest{false, ParseWindowId(id).value_or(0)};
        }
        if (a.startsWith(QLatin1String("--window-id="))) {
            return HackRequest{false, ParseWindowId(a.mid(12)).value_or(0)};
        }
    }
    return std::nullopt;
}

uint32_t ResolveRootWindow(const QString& xscreensaverWindow, std::optional<uint32_t> virtualRoot, uint32_t root) {
    if (auto id = ParseWindowId(xscreensaverWindow)) return *id;
    if (virtualRoot && *virtualRoot) return *virtualRoot;
    return root;
}

bool IsPreviewSized(int windowWidth, int windowHeight, int screenWidth, int screenHeight) {
    const long long window = static_cast<long long>(windowWidth) * windowHeight;
    const long long screen = static_cast<long long>(screenWidth) * screenHeight;
    return screen > 0 && window * kPreviewAreaDivisor < screen;
}

} // namespace quelm
