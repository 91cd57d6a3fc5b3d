#include "dialog/quib_p_design.h"

namespace quelm::dialog {

namespace {
constexpr int kWallColumnLeft = 3840; // thumbnails and their column numbers
constexpr int kWallColumnStep = 660;
constexpr int kWallRowStep = 300; // path rows
constexpr int kRowNumberTop = 1200;
constexpr int kRowButtonTop = 1140;
const int kColumnLabelNumbers[6] = {2, 5, 6, 8, 9, 10};   // lbl(n) over the thumbnails
const int kRowLabelNumbers[6] = {11, 12, 13, 16, 17, 18}; // lbl(n) left of the rows

QString LabelName(int n) { return QStringLiteral("lbl") + QString::number(n); }
} // namespace

const std::vector<LabelDesign>& Labels() {
    static const std::vector<LabelDesign> labels = [] {
        std::vector<LabelDesign> l;
        using C = Container;
        using L = LabelLook;
        l.push_back({LabelName(7),
                     C::Client,
                     {120, 5340, 2475, 195},
                     QStringLiteral("Quelm (ScreenSaver) 1.00"),
                     L::PanelLeft});
        l.push_back({LabelName(0),
                     C::WallsPanel,
                     {120, 120, 2205, 255},
                     QStringLiteral(QT_TRANSLATE_NOOP("Quib_P", "表示画像")),
                     L::WindowCentred});
        l.push_back({QStringLiteral("lbl_Pic0"),
                     C::WallsPanel,
                     {720, 480, 2295, 255},
                     QStringLiteral(QT_TRANSLATE_NOOP("Quib_P", "デスクトップキャプチャ")),
                     L::WindowCentred,
                     LabelRole::PictureSource,
                     0});
        l.push_back({QStringLiteral("lbl_Pic1"),
                     C::WallsPanel,
                     {720, 840, 2265, 255},
                     QStringLiteral(QT_TRANSLATE_NOOP("Quib_P", "任意画像の指定")),
                     L::WindowCentred,
                     LabelRole::PictureSource,
                     1});
        for (int n = 1; n <= 6; ++n) {
            l.push_back({LabelName(kColumnLabelNumbers[n - 1]),
                         C::WallsPanel,
                         {kWallColumnLeft + kWallColumnStep * (n - 1), 360, 555, 225},
                         QString::number(n),
                         L::PanelCentred});
            l.push_back({LabelName(kRowLabelNumbers[n - 1]),
                         C::WallsPanel,
                         {780, kRowNumberTop + kWallRowStep * (n - 1), 225, 225},
                         QString::number(n),
                         L::PanelCentred});
        }
        l.push_back({LabelName(15),
                     C::MusicPanel,
                     {120, 120, 2205, 255},
                     QStringLiteral(QT_TRANSLATE_NOOP("Quib_P", "BGM")),
                     L::WindowCentred});
        l.push_back({QStringLiteral("lbl_BGM1"),
                     C::MusicPanel,
                     {660, 480, 645, 195},
                     QStringLiteral(QT_TRANSLATE_NOOP("Quib_P", "音楽CD")),
                     L::PanelLeft,
                     LabelRole::MusicSource,
                     1});
        l.push_back({LabelName(14),
                     C::MusicPanel,
                     {2460, 480, 1155, 195},
                     QStringLiteral(QT_TRANSLATE_NOOP("Quib_P", "曲目をリピート")),
                     L::PanelLeft});
        l.push_back({QStringLiteral("lbl_BGM0"),
                     C::MusicPanel,
                     {660, 780, 345, 195},
                     QStringLiteral(QT_TRANSLATE_NOOP("Quib_P", "無し")),
                     L::PanelLeft,
                     LabelRole::MusicSource,
                     0});
        l.push_back({QStringLiteral("lbl_BGM2"),
                     C::MusicPanel,
                     {660, 1080, 900, 195},
                     QStringLiteral(QT_TRANSLATE_NOOP("Quib_P", "MP3、WAV")),
                     L::PanelLeft,
                     LabelRole::MusicSource,
                     2});
        return l;
    }();
    return labels;
}

const std::vector<ButtonDesign>& Buttons() {
    static const std::vector<ButtonDesign> buttons = [] {
        std::vector<ButtonDesign> b;
        const QString dots = QStringLiteral("...");
        b.push_back({QStringLiteral("Cmd_Etc"),
                     Container::Client,
                     {4500, 5400, 1155, 375},
                     QStringLiteral(QT_TRANSLATE_NOOP("Quib_P", "作品集"))});
        b.push_back({QStringLiteral("Cmd_Set"),
                     Container::Client,
                     {5700, 5400, 1155, 375},
                     QStringLiteral(QT_TRANSLATE_NOOP("Quib_P", "設定"))});
        b.push_back({QStringLiteral("Cmd_Can"),
                     Container::Client,
                     {6900, 5400, 1155, 375},
                     QStringLiteral(QT_TRANSLATE_NOOP("Quib_P", "ｷｬﾝｾﾙ"))});
        for (int n = 1; n <= 6; ++n)
            b.push_back({QStringLiteral("Cmd_Pic") + QString::number(n),
                         Container::WallsPanel,
                         {1020, kRowButtonTop + kWallRowStep * (n - 1), 435, 315},
                         dots});
        b.push_back({QStringLiteral("Cmd_BGM"), Container::MusicPanel, {660, 1260, 435, 315}, dots});
        return b;
    }();
    return buttons;
}

const std::vector<LineDesign>& Lines() {
    static const std::vector<LineDesign> lines = {
        {Container::WallsPanel, {300, 360, 300, 960}},  // Line1
        {Container::WallsPanel, {300, 600, 480, 600}},  // Line2
        {Container::WallsPanel, {300, 960, 480, 960}},  // Line6
        {Container::MusicPanel, {240, 360, 240, 1140}}, // Line13
        {Container::MusicPanel, {240, 540, 420, 540}},  // Line14
        {Container::MusicPanel, {240, 840, 420, 840}},  // Line15
        {Container::MusicPanel, {240, 1140, 420, 1140}} // Line16
    };
    return lines;
}

TwipRect PictureMark(int source) { return source == 0 ? TwipRect{480, 540, 195, 195} : TwipRect{480, 900, 195, 195}; }

TwipRect MusicMark(int source) {
    // Listed top to bottom as "音楽CD", "無し", "MP3、WAV": sources 1, 0, 2.
    switch (source) {
    case 1: return {420, 480, 195, 195};
    case 0: return {420, 780, 195, 195};
    default: return {420, 1080, 195, 195};
    }
}

TwipRect ThumbnailBox(int wall) { return {kWallColumnLeft + kWallColumnStep * (wall - 1), 600, 555, 555}; }

TwipRect PathField(int wall) { return {1500, kRowNumberTop + kWallRowStep * (wall - 1), 6255, 270}; }

} // namespace quelm::dialog
