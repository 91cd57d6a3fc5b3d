#pragma once
// The settings dialog's design data: every control's container, place and size in twips,
// its look and its text, as the dialog was designed. The window builds itself from these
// tables; nothing here needs a display. Texts are the Japanese originals; those in words are
// marked for translation (dialog/translation.h) and shown translated.
#include <QString>
#include <vector>

namespace quelm::dialog {

struct TwipRect {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
};
struct TwipLine {
    int x1 = 0;
    int y1 = 0;
    int x2 = 0;
    int y2 = 0;
};

// Where a control sits: positions are relative to its container's inner area.
enum class Container { Client, WallsPanel, MusicPanel };

// The window: caption and client area.
inline const QString kCaption = QStringLiteral("<Quelm>");
inline constexpr int kClientWidthTwips = 8205;
inline constexpr int kClientHeightTwips = 5985;
inline constexpr int kGreyRgb = 0xC0C0C0; // window and panels: RGB (192, 192, 192)

// Fonts: every label, text field and button caption; the music panel's own font, which
// its combo box uses.
inline const QString kTextFontFace = QStringLiteral("ＭＳ Ｐゴシック");
inline constexpr double kTextFontPoints = 9.75;
inline const QString kPanelFontFace = QStringLiteral("Tahoma");
inline constexpr double kPanelFontPoints = 8.25;

// The two panels, on the client area.
inline constexpr TwipRect kWallsPanel{120, 120, 7935, 3195};  // Pic_C(1)
inline constexpr TwipRect kMusicPanel{120, 3480, 7935, 1755}; // Pic_C(0)

enum class LabelLook {
    WindowCentred, // window colour, centred text
    PanelCentred,  // on the panel, centred text
    PanelLeft,     // black text on the panel
};
enum class LabelRole { None, PictureSource, MusicSource };

struct LabelDesign {
    QString name; // object name, e.g. "lbl_Pic0"
    Container in;
    TwipRect at;
    QString text;
    LabelLook look;
    LabelRole role = LabelRole::None;
    int index = 0; // the source's number for the two roles
};
const std::vector<LabelDesign>& Labels();

struct ButtonDesign {
    QString name; // "Cmd_Set", "Cmd_Pic1" ...
    Container in;
    TwipRect at;
    QString caption;
};
const std::vector<ButtonDesign>& Buttons();

struct LineDesign {
    Container in;
    TwipLine at;
};
const std::vector<LineDesign>& Lines();

// Marks of the picture source (walls panel) and of the music source (music panel).
inline constexpr int kPictureSources = 2;
inline constexpr int kMusicSources = 3;
TwipRect PictureMark(int source); // Img_Pic(source)
TwipRect MusicMark(int source);   // Img_BGM(source)

// Wall n (1 to 6): thumbnail Pic(n) and path field txt_Path(n) on the walls panel.
TwipRect ThumbnailBox(int wall);
TwipRect PathField(int wall);

// On the music panel: the repeat box and the music file's field.
inline constexpr TwipRect kRepeatBox{1800, 420, 615, 300};        // BGM_Repeat
inline constexpr TwipRect kMusicFileField{1140, 1320, 6615, 270}; // lbl_Fname
inline constexpr int kRepeatItems = 31;                           // list items 0 to 30

// The thumbnails' drawing size in pixels, and the mark pictures' size.
inline constexpr int kThumbnailPixels = 37;
inline constexpr int kMarkPixels = 12;

} // namespace quelm::dialog
