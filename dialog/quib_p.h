#pragma once
// Quib_P, the settings dialog: the user picks where the wall pictures come from, the six
// picture files, the music source, the CD track to repeat and the music file. Each choice
// changes the shared settings at once; "設定" saves them to the INI file and closes,
// "ｷｬﾝｾﾙ" and the close box close without saving; "作品集" opens the project's home page.
// Controls carry their design names as object names ("Cmd_Set", "txt_Path3", "Img_BGM2").
#include "dialog/dialog_rules.h"
#include "dialog/quib_p_design.h"
#include "settings/settings.h"

#include <QDialog>
#include <QImage>
#include <QUrl>
#include <array>
#include <filesystem>
#include <functional>

class QComboBox;
class QLineEdit;

namespace quelm {

class Command;

namespace dialog {
class MarkImage;
class Thumbnail;
} // namespace dialog

// Maps the design's font faces to faces the setup installs: "ＭＳ Ｐゴシック" (and
// "MS PGothic") to IPAPGothic, "Tahoma" to DejaVu Sans. Safe to call more than once.
void InstallFontSubstitutes();

class QuibP : public QDialog {
    Q_OBJECT
public:
    // Asks the user for one existing file; an empty result means nothing was chosen.
    using FileChooser = std::function<QString(QWidget* owner, const QString& title, const dialog::FileFilter& filter)>;
    // Hands a web address to the desktop's browser.
    using PageOpener = std::function<void(const QUrl& address)>;

    // The dialog on `settings`, which it edits in place; "設定" saves them to `ini`.
    QuibP(Settings& settings, std::filesystem::path ini, QWidget* parent = nullptr);
    ~QuibP() override;

    // The project's home page, which "作品集" opens.
    static QUrl HomePage();

    void SetFileChooser(FileChooser chooser) { chooseFile_ = std::move(chooser); }
    void SetPageOpener(PageOpener opener) { openPage_ = std::move(opener); }

    // The load sequence; runs while the window is still hidden, before it is shown.
    void Load();

    // A close from outside (a termination signal), at any moment: an open file chooser
    // closes choosing nothing, then the dialog closes as its close box would, saving
    // nothing. During the load it marks the dialog as closed before it is ever shown.
    void CloseRequest();
    bool CloseRequested() const { return closeRequested_; }

    // Loads the picture of wall `wall` (1 to 6) and draws it into its thumbnail, squeezed
    // to 37 x 37 pixels; a file that is not a readable picture leaves the thumbnail as it was.
    void DrawThumbnail(int wall);

    // Where the opening animation starts and the closing one ends (screen pixels): the
    // pointer's position at load, each coordinate kept only when it fits in 16 bits.
    QPoint ZoomPoint() const { return zoomPoint_; }

protected:
    // Every way of closing ends here: the closing animation, then the close.
    void done(int result) override;
    // The dialog handles no keys: Enter and Esc do nothing.
    void keyPressEvent(QKeyEvent* event) override;

private:
    void BuildControls();
    void InitButtons();
    void ShowPictureMarks();
    void ShowMusicControls();
    void SelectPictureSource(int source);
    void SelectMusicSource(int source);
    void ChoosePicture(int wall);
    void ChooseMusic();
    void Accept();
    void OpenHomePage();
    QWidget* ContainerFor(dialog::Container container);

    Settings& settings_;
    std::filesystem::path ini_;
    FileChooser chooseFile_;
    PageOpener openPage_;
    double dotsPerInch_ = 96.0;
    QPoint zoomPoint_;
    bool closeRequested_ = false;

    QWidget* wallsPanel_ = nullptr;
    QWidget* musicPanel_ = nullptr;
    std::array<dialog::MarkImage*, 2> picMarks_{};
    std::array<dialog::MarkImage*, 3> bgmMarks_{};
    std::array<dialog::Thumbnail*, kWallCount + 1> thumbnails_{}; // 1..6
    std::array<QLineEdit*, kWallCount + 1> pathFields_{};         // 1..6
    std::vector<Command*> buttons_;
    Command* cmdBgm_ = nullptr;
    QComboBox* repeatBox_ = nullptr;
    QLineEdit* musicFileField_ = nullptr;
    QImage staging_; // the last picture loaded for a thumbnail
    QImage unselectedMark_;
    QImage selectedMark_;
};

} // namespace quelm
