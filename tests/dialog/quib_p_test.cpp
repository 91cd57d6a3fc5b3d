// The settings dialog on a real X server: layout and fonts, loading, the source selections
// by mouse, choosing files, the thumbnails, accepting, cancelling and the keys it ignores.
// File choice and the browser are handed in, so no modal file dialog or browser opens
// and the rest is the real dialog; one test opens the real file dialogs, Qt's own.
#include "button/command.h"
#include "dialog/artwork.h"
#include "dialog/quib_p.h"
#include "dialog/quib_p_controls.h"
#include "settings/settings.h"

#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QFontInfo>
#include <QLineEdit>
#include <QPainter>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <cstring>
#include <memory>

namespace quelm {
namespace {

using dialog::MarkImage;
const QString kChooserTitle = QStringLiteral("ﾌｧｲﾙを開く");

class QuibPTest : public ::testing::Test, public QObject {
protected:
    // Counts windows other than the dialog being shown while it is installed on the app.
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Show && watched != dialog_.get() && watched->isWidgetType() &&
            static_cast<QWidget*>(watched)->isWindow())
            ++windowsShown_;
        return false;
    }
    // Reads the settings from the INI file as a start does, then loads and shows the dialog;
    // file choices are answered from answers_ unless the real file dialog is wanted.
    void Open(bool realFileDialog = false) {
        dialog_.reset();
        settings_ = Settings{};
        LoadSettings(settings_, ini_);
        dialog_ = std::make_unique<QuibP>(settings_, ini_);
        if (!realFileDialog) {
            dialog_->SetFileChooser([this](QWidget*, const QString&, const dialog::FileFilter&) {
                return answers_.empty() ? QString() : answers_.takeFirst();
            });
        }
        dialog_->SetPageOpener([this](const QUrl& address) {
            const QCursor* pointer = QGuiApplication::overrideCursor();
            opened_ << address.toString() + (pointer && pointer->shape() == Qt::WaitCursor ? " busy" : "");
        });
        dialog_->Load();
        dialog_->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog_.get()));
    }

    template <class T = QWidget>
    T* Find(const QString& name) const {
        T* w = dialog_->findChild<T*>(name);
        EXPECT_NE(w, nullptr) << name.toStdString();
        return w;
    }
    QComboBox* Repeat() const { return Find<QComboBox>(QStringLiteral("BGM_Repeat")); }
    QLineEdit* MusicField() const { return Find<QLineEdit>(QStringLiteral("lbl_Fname")); }
    QImage Mark(const char* kind, int k) const {
        return Find<MarkImage>(QStringLiteral("Img_%1%2").arg(kind).arg(k))->Mark();
    }
    bool Selected(const char* kind, int k) const { return Mark(kind, k) == dialog::SelectedMark(); }
    QLineEdit* PathField(int n) const { return Find<QLineEdit>(QStringLiteral("txt_Path%1").arg(n)); }
    QImage Thumb(int n) const { return Find<dialog::Thumbnail>(QStringLiteral("Pic%1").arg(n))->Retained(); }
    void Press(const QString& name, Qt::MouseButton button = Qt::LeftButton) { QTest::mousePress(Find(name), button); }
    void Click(const QString& button, Qt::MouseButton b = Qt::LeftButton) {
        QTest::mouseClick(Find(button), b, {}, QPoint(5, 5));
    }

    void TypeRepeat(const QString& text) {
        Repeat()->lineEdit()->clear();
        QTest::keyClicks(Repeat()->lineEdit(), text);
    }
    QString Stored(const QString& key) const { return ReadIni(kSection, key, ini_); }
    void Store(const QString& key, const QString& value) { WriteIni(kSection, key, value, ini_); }

    // A BMP file in the test folder, its left half red, its right half blue.
    QString WritePicture(const QString& name, int width, int height) {
        QImage image(width, height, QImage::Format_RGB32);
        image.fill(Qt::red);
        QPainter(&image).fillRect(width / 2, 0, width - width / 2, height, Qt::blue);
        const QString path = dir_.filePath(name);
        EXPECT_TRUE(image.save(path, "BMP"));
        return path;
    }

    QTemporaryDir dir_;
    std::filesystem::path ini_{dir_.filePath(QStringLiteral("Quelm.ini")).toStdString()};
    Settings settings_;
    std::unique_ptr<QuibP> dialog_;
    QStringList answers_, opened_;
    int windowsShown_ = 0;
};

// How the dialog looks, its fonts and its size are compared pixel for pixel with a reference
// picture in quib_p_language_test; its place on the screen and the repeat box's font are not.
TEST_F(QuibPTest, ZoomsOpenFromThePointerAndSitsCentredAThirdDown) {
    QCursor::setPos(100, 200);
    Open();
    EXPECT_EQ(dialog_->ZoomPoint(), QPoint(100, 200)); // where the opening animation starts
    EXPECT_EQ(QFontInfo(Repeat()->font()).family(), QStringLiteral("DejaVu Sans"));
    if (dialog_->screen()->logicalDotsPerInchX() != 96.0 || dialog_->screen()->size() != QSize(1024, 768))
        GTEST_SKIP() << "places are for 1024 x 768 at 96 dots per inch";
    EXPECT_EQ(dialog_->pos(), QPoint(238, 123));
}

// (The first run's marks and empty, disabled repeat box are in the reference picture.)
TEST_F(QuibPTest, StoredValuesBeyondTheChoicesSelectNothingAndAreSavedBack) {
    Store(kKeyBgmKind, QStringLiteral(" 1"));
    Store(kKeyBgmRepeat, QStringLiteral(" 31"));
    Store(kKeyPicKind, QStringLiteral(" 2"));
    Open();
    EXPECT_EQ(Repeat()->currentText(), QStringLiteral("31"));
    EXPECT_EQ(Repeat()->count(), 31);
    EXPECT_TRUE(Mark("Pic", 0).isNull() && Mark("Pic", 1).isNull());
    Click(QStringLiteral("Cmd_Set"));
    EXPECT_EQ(Stored(kKeyBgmRepeat), QStringLiteral("31"));
    EXPECT_EQ(Stored(kKeyPicKind), QStringLiteral("2"));
}

TEST_F(QuibPTest, SelectionsByMouseTheMusicFileAndTheRepeatTrackSavedWhateverIsSelected) {
    const QString music = WritePicture(QStringLiteral("tune.WAV"), 2, 2); // any existing file
    Store(kKeyBgmKind, QStringLiteral(" 2"));
    Store(kKeyBgmFile, music);
    Store(kKeyBgmRepeat, QStringLiteral(" 4"));
    Open();
    // Music marks and captions select by either button: the file button only for the file,
    // the repeat box only for the CD.
    const char* const widgets[] = {"lbl_BGM1", "Img_BGM0", "Img_BGM2", "Img_BGM1", "lbl_BGM2", "lbl_BGM0"};
    for (int i = 0; i < 6; ++i) {
        SCOPED_TRACE(widgets[i]);
        Press(QString::fromLatin1(widgets[i]), i % 2 ? Qt::RightButton : Qt::LeftButton);
        const int kind = widgets[i][std::strlen(widgets[i]) - 1] - '0';
        EXPECT_EQ(settings_.BGMKind, kind);
        EXPECT_EQ(Find<Command>(QStringLiteral("Cmd_BGM"))->Enabled(), kind == 2);
        EXPECT_EQ(Repeat()->isEnabled(), kind == 1);
        for (int k = 0; k < 3; ++k) EXPECT_EQ(Selected("BGM", k), k == kind) << k;
        EXPECT_EQ(Repeat()->currentText(), QStringLiteral("4"));
        EXPECT_EQ(MusicField()->text(), music);
    }
    // Picture captions take no secondary button, and a press alone is not a click.
    Click(QStringLiteral("lbl_Pic1"), Qt::RightButton);
    EXPECT_EQ(settings_.PicKind, 0);
    Press(QStringLiteral("Img_Pic1"), Qt::RightButton);
    EXPECT_TRUE(settings_.PicKind == 1 && Selected("Pic", 1) && !Selected("Pic", 0));
    Press(QStringLiteral("lbl_Pic0"));
    EXPECT_EQ(settings_.PicKind, 1);
    QTest::mouseRelease(Find(QStringLiteral("lbl_Pic0")), Qt::LeftButton);
    EXPECT_EQ(settings_.PicKind, 0);
    // The music file: a cancel, or a path that would not come back from the INI file (too
    // long, a line break), changes nothing; the file dialog is run by
    // TheFileDialogListsPicturesWhateverTheCaseOfTheExtension.
    Press(QStringLiteral("Img_BGM2"));
    answers_ = {QStringLiteral("/music/song.mp3"), QString(), QLatin1Char('/') + QString(300, QLatin1Char('m')),
                QStringLiteral("/music/a\n[x].mp3")};
    for (int i = 0; i < 4; ++i) Click(QStringLiteral("Cmd_BGM"));
    EXPECT_EQ(MusicField()->text(), QStringLiteral("/music/song.mp3"));
    // The typed repeat track goes through RepeatFromText (dialog_rules_test) with the stored
    // value, and is saved though the box was disabled again.
    Press(QStringLiteral("lbl_BGM1"));
    TypeRepeat(QStringLiteral("40000"));
    Press(QStringLiteral("Img_BGM0"));
    Click(QStringLiteral("Cmd_Set"));
    EXPECT_EQ(Stored(kKeyBgmRepeat), QStringLiteral("4"));
    EXPECT_EQ(Stored(kKeyBgmFile), QStringLiteral("/music/song.mp3"));
}

// The file dialog is Qt's own here (see main). The filters handed to the desktop's dialogs
// are checked in dialog_rules_test, which button hands which filter in quib_p_language_test.
TEST_F(QuibPTest, TheFileDialogListsPicturesWhateverTheCaseOfTheExtension) {
    for (const char* name : {"photo.JPG", "photo.jpg", "wall.Bmp", "anim.GIF", "photo.jpeg", "notes.txt", "song.mp3"})
        ASSERT_TRUE(QFile(dir_.filePath(QString::fromLatin1(name))).open(QIODevice::WriteOnly)) << name;
    const QStringList pictures = {"anim.GIF", "photo.JPG", "photo.jpg", "wall.Bmp"};
    Open(/*realFileDialog=*/true);
    QString title, shown;
    QStringList listed;
    // Runs inside the file dialog's own event loop: looks into its folder, then cancels it.
    QObject inDialog; // its end drops the callback if no dialog opened
    QTimer::singleShot(0, &inDialog, [&] {
        QFileDialog* chooser = nullptr;
        if (!QTest::qWaitFor([&] { return (chooser = qobject_cast<QFileDialog*>(QApplication::activeModalWidget())); }))
            return;
        title = chooser->windowTitle();
        shown = chooser->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"))->currentText();
        chooser->setDirectory(dir_.path());
        const auto* files = chooser->findChild<QFileSystemModel*>();
        // The folder loads in the background: wait for the listing wanted, else keep the last seen.
        static_cast<void>(QTest::qWaitFor([&] {
            const QModelIndex folder = files->index(dir_.path());
            listed.clear();
            for (int r = 0; r < files->rowCount(folder); ++r)
                if (files->flags(files->index(r, 0, folder)) & Qt::ItemIsEnabled)
                    listed << files->fileName(files->index(r, 0, folder));
            listed.sort();
            return listed == pictures;
        }));
        chooser->reject();
    });
    Click(QStringLiteral("Cmd_Pic1"));
    EXPECT_EQ(title, kChooserTitle);
    EXPECT_EQ(shown, QStringLiteral("画像ﾌｧｲﾙ (bmp jpg gif)")); // the description, its patterns hidden
    EXPECT_EQ(listed.join(QLatin1Char(' ')), pictures.join(QLatin1Char(' ')));
    EXPECT_TRUE(settings_.PicPath[1].isEmpty()); // cancelled: nothing changes
}

// Wall 1 is wide: its thumbnail is squeezed to the full height, not kept in proportion,
// dropping rows and columns (red left of the middle, blue right, nothing blended); a file
// that is no picture takes the path and keeps the thumbnail.
TEST_F(QuibPTest, ThumbnailsOfChosenPicturesAndDesktopCaptureKeepsAllSixPaths) {
    for (int n = 1; n <= 6; ++n)
        answers_ << WritePicture(QStringLiteral("wall%1.bmp").arg(n), n == 1 ? 400 : 20 * n, n == 1 ? 20 : 10);
    QStringList paths = answers_;
    paths[5] = dir_.filePath(QStringLiteral("notes.bmp"));
    ASSERT_TRUE(QFile(paths[5]).open(QIODevice::WriteOnly)); // empty: no picture
    answers_ << paths[5];
    Open();
    Press(QStringLiteral("Img_Pic1"));
    for (int n = 1; n <= 6; ++n) Click(QStringLiteral("Cmd_Pic%1").arg(n));
    const QImage thumb = Thumb(1), sixth = Thumb(6);
    ASSERT_EQ(thumb.size(), QSize(33, 33)); // 37 x 37 less the two-pixel border cuts the rest
    const QRgb red = qRgb(255, 0, 0), blue = qRgb(0, 0, 255);
    for (int x = 0; x < 33; ++x) // red left of the middle column, blue right of it, either in it
        for (int y = 0; y < 33; ++y)
            EXPECT_TRUE((x <= 18 && thumb.pixel(x, y) == red) || (x >= 18 && thumb.pixel(x, y) == blue))
                << x << ',' << y;
    Click(QStringLiteral("Cmd_Pic6")); // the text file
    EXPECT_EQ(PathField(6)->text(), paths[5]);
    EXPECT_EQ(Thumb(6), sixth);
    Click(QStringLiteral("lbl_Pic0")); // "デスクトップキャプチャ"
    EXPECT_EQ(settings_.PicKind, 0);
    Click(QStringLiteral("Cmd_Set"));
    Open(); // the next start shows them again
    for (int n = 1; n <= 6; ++n) {
        EXPECT_EQ(PathField(n)->text(), paths[n - 1]);
        EXPECT_EQ(Stored(PathKey(n)), paths[n - 1]);
        if (n < 6) {
            EXPECT_EQ(Thumb(n).pixel(2, 2), red) << n;
        }
    }
}

TEST_F(QuibPTest, EveryCloseAnimatesAndOnlySetWritesAfterFilesWereChosen) {
    const QString picture = WritePicture(QStringLiteral("a.bmp"), 8, 8);
    for (const std::string way : {"Cmd_Can", "close box", "Cmd_Set"}) {
        SCOPED_TRACE(way);
        Open();
        answers_ = {picture};
        Click(QStringLiteral("Cmd_Pic4"));
        Press(QStringLiteral("Img_Pic1"));
        TypeRepeat(QStringLiteral("9"));
        qApp->installEventFilter(this);
        way[0] == 'C' ? Click(QString::fromStdString(way)) : static_cast<void>(dialog_->close());
        qApp->removeEventFilter(this);
        EXPECT_EQ(std::exchange(windowsShown_, 0), 1); // the closing animation's window
        EXPECT_EQ(dialog_->result(), way == "Cmd_Set" ? QDialog::Accepted : QDialog::Rejected);
        EXPECT_EQ(std::filesystem::exists(ini_), way == "Cmd_Set");
    }
    EXPECT_EQ(Stored(PathKey(4)), picture);
}

TEST_F(QuibPTest, ACloseRequestWithAFileChooserOpenClosesBothAndSavesNothing) {
    Open();
    dialog_->SetFileChooser([this](QWidget* owner, const QString&, const dialog::FileFilter&) {
        QFileDialog chooser(owner);
        QTimer::singleShot(300, dialog_.get(), [this] { dialog_->CloseRequest(); });
        return chooser.exec() == QDialog::Accepted ? chooser.selectedFiles().value(0) : QString();
    });
    Click(QStringLiteral("Cmd_Pic2"));
    EXPECT_FALSE(dialog_->isVisible());
    EXPECT_EQ(dialog_->result(), QDialog::Rejected);
    EXPECT_TRUE(PathField(2)->text().isEmpty());
    EXPECT_FALSE(std::filesystem::exists(ini_));
}

TEST_F(QuibPTest, EnterAndEscDoNothingAndTheHomePageOpensOnceUnderTheBusyPointer) {
    Open();
    dialog_->activateWindow();
    Press(QStringLiteral("Img_BGM1"));
    TypeRepeat(QStringLiteral("12"));
    for (QWidget* target : {static_cast<QWidget*>(dialog_.get()), static_cast<QWidget*>(Repeat()->lineEdit()),
                            static_cast<QWidget*>(PathField(1)), Find(QStringLiteral("Cmd_Set"))})
        for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape, Qt::Key_Space}) {
            QTest::keyClick(target, key);
            EXPECT_TRUE(dialog_->isVisible()) << key;
        }
    EXPECT_EQ(Repeat()->count(), 31); // Enter added nothing to the list
    Click(QStringLiteral("Cmd_Etc"));
    EXPECT_EQ(opened_, QStringList{QuibP::HomePage().toString() + " busy"});
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
    EXPECT_TRUE(dialog_->isVisible());
    EXPECT_FALSE(std::filesystem::exists(ini_));
}

} // namespace
} // namespace quelm

int main(int argc, char** argv) {
    // The desktop's file dialog (GTK, portal) is out of the test's reach: the file dialog
    // test looks into Qt's own.
    QApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
