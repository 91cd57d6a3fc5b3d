// The settings dialog on a real X server: its layout and fonts, the load sequence, the
// source selections by mouse, choosing files, the thumbnails, accepting, cancelling and
// the keys it ignores. File choice and the browser are handed in, so no modal file dialog
// or browser opens; everything else is the real dialog with real Command buttons.
#include "button/command.h"
#include "dialog/artwork.h"
#include "dialog/quib_p.h"
#include "dialog/quib_p_controls.h"
#include "platform/codepage.h"
#include "startup/settings.h"

#include <QApplication>
#include <QComboBox>
#include <QCursor>
#include <QFile>
#include <QFontInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QScreen>
#include <QSet>
#include <QTemporaryDir>
#include <QFileDialog>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <memory>

namespace quelm {
namespace {

using dialog::MarkImage;
using dialog::Thumbnail;

struct Chosen {
    QString title;
    dialog::FileFilter filter;
};

class QuibPTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        ini_ = std::filesystem::path(dir_.filePath(QStringLiteral("Quelm.ini")).toStdString());
    }
    void TearDown() override {
        if (dialog_ && dialog_->isVisible()) dialog_->reject();
        dialog_.reset();
    }

    // Reads the settings from the INI file as a start does, then loads and shows the dialog.
    // With realFileDialog the dialog keeps its own file chooser, Qt's file dialog.
    void Open(bool realFileDialog = false) {
        LoadSettings(settings_, ini_);
        dialog_ = std::make_unique<QuibP>(settings_, ini_);
        if (!realFileDialog) dialog_->SetFileChooser([this](QWidget*, const QString& title, const dialog::FileFilter& filter) {
            requests_.push_back({title, filter});
            if (answers_.empty()) return QString();
            QString next = answers_.front();
            answers_.erase(answers_.begin());
            return next;
        });
        dialog_->SetPageOpener([this](const QUrl& address) {
            opened_.push_back(address);
            const QCursor* busy = QGuiApplication::overrideCursor();
            cursorsWhileOpening_.push_back(busy ? busy->shape() : Qt::ArrowCursor);
        });
        dialog_->Load();
        dialog_->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog_.get()));
    }

    template <class T = QWidget> T* Find(const QString& name) const {
        T* w = dialog_->findChild<T*>(name);
        EXPECT_NE(w, nullptr) << name.toStdString();
        return w;
    }
    Command* Button(const QString& name) const { return Find<Command>(name); }
    QComboBox* Repeat() const { return Find<QComboBox>(QStringLiteral("BGM_Repeat")); }
    MarkImage* PicMark(int k) const { return Find<MarkImage>(QStringLiteral("Img_Pic%1").arg(k)); }
    MarkImage* BgmMark(int k) const { return Find<MarkImage>(QStringLiteral("Img_BGM%1").arg(k)); }
    QLineEdit* PathField(int n) const { return Find<QLineEdit>(QStringLiteral("txt_Path%1").arg(n)); }
    Thumbnail* Thumb(int n) const { return Find<Thumbnail>(QStringLiteral("Pic%1").arg(n)); }

    void Click(const QString& buttonName) {
        QTest::mouseClick(Button(buttonName), Qt::LeftButton, {}, QPoint(5, 5));
    }
    bool IsSelected(MarkImage* mark) const { return mark->Mark() == dialog::SelectedMark(); }
    bool IsUnselected(MarkImage* mark) const { return mark->Mark() == dialog::UnselectedMark(); }

    void TypeRepeat(const QString& text) {
        QLineEdit* edit = Repeat()->lineEdit();
        edit->setFocus();
        QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(edit, Qt::Key_Delete);
        QTest::keyClicks(edit, text);
    }

    QByteArray IniBytes() const {
        QFile f(QString::fromStdString(ini_.string()));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    bool IniExists() const { return std::filesystem::exists(ini_); }
    QString Stored(const QString& key) const { return ReadIni(kSection, key, ini_); }

    // A picture file in the test folder.
    QString WritePicture(const QString& name, const QImage& image) {
        const QString path = dir_.filePath(name);
        EXPECT_TRUE(image.save(path, "BMP"));
        return path;
    }
    static QImage Halves(int width, int height, QColor left, QColor right) {
        QImage image(width, height, QImage::Format_RGB32);
        QPainter p(&image);
        p.fillRect(0, 0, width / 2, height, left);
        p.fillRect(width / 2, 0, width - width / 2, height, right);
        return image;
    }

    QTemporaryDir dir_;
    std::filesystem::path ini_;
    Settings settings_;
    std::unique_ptr<QuibP> dialog_;
    std::vector<QString> answers_;
    std::vector<Chosen> requests_;
    std::vector<QUrl> opened_;
    std::vector<Qt::CursorShape> cursorsWhileOpening_;
};

TEST_F(QuibPTest, WindowHasItsCaptionFixedSizeCloseBoxOnlyAndDesignedPlaces) {
    Open();
    EXPECT_EQ(dialog_->windowTitle(), QStringLiteral("<Quelm>"));
    const Qt::WindowFlags flags = dialog_->windowFlags();
    EXPECT_TRUE(flags & Qt::WindowTitleHint);
    EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);
    EXPECT_FALSE(flags & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);
    EXPECT_FALSE(dialog_->windowIcon().isNull());
    EXPECT_EQ(dialog::IconImage().size(), QSize(32, 32));
    QSet<QRgb> iconColours;
    const QImage icon = dialog::IconImage();
    for (int y = 0; y < icon.height(); ++y)
        for (int x = 0; x < icon.width(); ++x) iconColours.insert(icon.pixel(x, y));
    EXPECT_LE(iconColours.size(), 256);
    EXPECT_GT(iconColours.size(), 2);

    const double dpi = dialog_->screen()->logicalDotsPerInchX();
    if (dpi != 96.0) GTEST_SKIP() << "places below are for 96 dots per inch, screen has " << dpi;
    EXPECT_EQ(dialog_->size(), QSize(547, 399));
    EXPECT_EQ(dialog_->minimumSize(), dialog_->maximumSize());
    EXPECT_EQ(Button(QStringLiteral("Cmd_Set"))->geometry(), QRect(380, 360, 77, 25));
    EXPECT_EQ(Button(QStringLiteral("Cmd_Can"))->geometry(), QRect(460, 360, 77, 25));
    EXPECT_EQ(Button(QStringLiteral("Cmd_Etc"))->geometry(), QRect(300, 360, 77, 25));
    // Inside the panels, places count from the inner area, two pixels in from the border.
    EXPECT_EQ(Find<QWidget>(QStringLiteral("Pic_C1"))->geometry(), QRect(8, 8, 529, 213));
    EXPECT_EQ(Find<QWidget>(QStringLiteral("Pic_C0"))->geometry(), QRect(8, 232, 529, 117));
    EXPECT_EQ(Thumb(6)->geometry(), QRect(2 + 256 + 44 * 5, 2 + 40, 37, 37));
    EXPECT_EQ(PathField(6)->geometry(), QRect(2 + 100, 2 + 180, 417, 18));
    EXPECT_EQ(Button(QStringLiteral("Cmd_Pic3"))->geometry(), QRect(2 + 68, 2 + 116, 29, 21));
    EXPECT_EQ(Repeat()->geometry(), QRect(2 + 120, 2 + 28, 41, 20));
    EXPECT_EQ(BgmMark(1)->geometry().top() < BgmMark(0)->geometry().top(), true); // "音楽CD" on top
    EXPECT_EQ(Find<QLabel>(QStringLiteral("lbl_Pic0"))->alignment() & Qt::AlignHCenter, Qt::AlignHCenter);
}

TEST_F(QuibPTest, JapaneseCaptionsUseAnInstalledGothicFaceAndTheComboUsesThePanelFont) {
    Open();
    auto* label = Find<QLabel>(QStringLiteral("lbl_Pic0"));
    const QFontInfo text(label->font());
    EXPECT_EQ(text.family(), QStringLiteral("IPAPGothic"));
    EXPECT_EQ(label->font().pointSizeF(), 9.75);
    if (dialog_->screen()->logicalDotsPerInchX() == 96.0) {
        EXPECT_EQ(text.pixelSize(), 13);
    }
    // Every character of every caption has a glyph in the face that shows it.
    for (const QString name : {"lbl0", "lbl_Pic0", "lbl_Pic1", "lbl15", "lbl_BGM0", "lbl_BGM1", "lbl_BGM2", "lbl14"}) {
        auto* l = Find<QLabel>(name);
        const QFontMetrics metrics(l->font());
        for (QChar c : l->text()) EXPECT_TRUE(metrics.inFont(c)) << name.toStdString() << " " << int(c.unicode());
    }
    for (const QString name : {"Cmd_Set", "Cmd_Can", "Cmd_Etc"}) {
        Command* b = Button(name);
        EXPECT_EQ(QFontInfo(b->Font()).family(), QStringLiteral("IPAPGothic")) << name.toStdString();
        const QFontMetrics metrics(b->Font());
        for (QChar c : b->Caption()) EXPECT_TRUE(metrics.inFont(c)) << name.toStdString();
    }
    EXPECT_EQ(Button(QStringLiteral("Cmd_Set"))->Caption(), QStringLiteral("設定"));
    EXPECT_EQ(Button(QStringLiteral("Cmd_Can"))->Caption(), QStringLiteral("ｷｬﾝｾﾙ"));
    EXPECT_EQ(Button(QStringLiteral("Cmd_Etc"))->Caption(), QStringLiteral("作品集"));
    // No caption is cut: each label is wide enough for its text in the face it shows.
    for (QLabel* l : dialog_->findChildren<QLabel*>()) {
        if (l->text().isEmpty()) continue;
        EXPECT_LE(QFontMetrics(l->font()).horizontalAdvance(l->text()), l->width()) << l->objectName().toStdString();
    }
    EXPECT_EQ(QFontInfo(Repeat()->font()).family(), QStringLiteral("DejaVu Sans"));
    EXPECT_EQ(Repeat()->font().pointSizeF(), 8.25);
}

TEST_F(QuibPTest, LoadPlacesTheWindowRecordsTheCursorAndLeavesTheDefaultPointer) {
    QCursor::setPos(100, 200);
    ZoomX = ZoomY = 0;
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    Open();
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
    EXPECT_EQ(ZoomX, QCursor::pos().x());
    EXPECT_EQ(ZoomY, QCursor::pos().y());
    EXPECT_EQ(ZoomX, 100);
    EXPECT_EQ(ZoomY, 200);
    const QRect screen = dialog_->screen()->geometry();
    if (screen.size() == QSize(1024, 768) && dialog_->screen()->logicalDotsPerInchX() == 96.0) {
        EXPECT_EQ(dialog_->pos(), QPoint(238, 123)); // 3577 and 1845 twips
    }
}

TEST_F(QuibPTest, FirstRunShowsDefaultsAndAcceptingAtOnceWritesEveryKeyEmptyOrZero) {
    ASSERT_FALSE(IniExists());
    Open();
    for (int n = 1; n <= 6; ++n) {
        EXPECT_TRUE(PathField(n)->text().isEmpty()) << n;
        EXPECT_EQ(Thumb(n)->Retained().pixel(10, 10), qRgb(255, 255, 255)) << n;
    }
    EXPECT_TRUE(IsSelected(PicMark(0)));
    EXPECT_TRUE(IsUnselected(PicMark(1)));
    EXPECT_TRUE(IsSelected(BgmMark(0)));
    EXPECT_TRUE(IsUnselected(BgmMark(1)));
    EXPECT_TRUE(IsUnselected(BgmMark(2)));
    EXPECT_FALSE(Button(QStringLiteral("Cmd_BGM"))->Enabled());
    EXPECT_FALSE(Repeat()->isEnabled());
    EXPECT_EQ(Repeat()->currentText(), QString());
    ASSERT_EQ(Repeat()->count(), 31);
    EXPECT_EQ(Repeat()->itemText(0), QString());
    EXPECT_EQ(Repeat()->itemText(1), QStringLiteral("1"));
    EXPECT_EQ(Repeat()->itemText(30), QStringLiteral("30"));
    EXPECT_TRUE(Find<QLineEdit>(QStringLiteral("lbl_Fname"))->text().isEmpty());

    Click(QStringLiteral("Cmd_Set"));
    EXPECT_FALSE(dialog_->isVisible());
    EXPECT_EQ(dialog_->result(), QDialog::Accepted);
    const QString expected = QStringLiteral(
        "[Section]\nPic区分= 0\nPath1=\nPath2=\nPath3=\nPath4=\nPath5=\nPath6=\n"
        "BGM区分= 0\nBGMﾘﾋﾟｰﾄ= 0\nBGMﾌｧｲﾙ=\n");
    const auto cp932 = codepage::ToCp932(expected);
    ASSERT_TRUE(cp932.has_value());
    EXPECT_EQ(IniBytes().toStdString(), *cp932);
}

TEST_F(QuibPTest, StoredRepeatBeyondTheListIsShownAndSavedBack) {
    WriteIni(kSection, kKeyBgmKind, QStringLiteral(" 1"), ini_);
    WriteIni(kSection, kKeyBgmRepeat, QStringLiteral(" 31"), ini_);
    Open();
    EXPECT_EQ(Repeat()->currentText(), QStringLiteral("31"));
    EXPECT_EQ(Repeat()->count(), 31);
    EXPECT_TRUE(Repeat()->isEnabled());
    EXPECT_FALSE(Button(QStringLiteral("Cmd_BGM"))->Enabled());
    Click(QStringLiteral("Cmd_Set"));
    EXPECT_EQ(Stored(kKeyBgmRepeat), QStringLiteral("31"));
    EXPECT_TRUE(IniBytes().contains(QByteArray("= 31\n")));
}

struct Typed {
    const char* text;
    int16_t saved;
};
class RepeatTyped : public QuibPTest, public ::testing::WithParamInterface<Typed> {};

TEST_P(RepeatTyped, AcceptSavesTheTypedTrackWhateverMusicIsSelected) {
    WriteIni(kSection, kKeyBgmRepeat, QStringLiteral(" 5"), ini_);
    Open();
    ASSERT_EQ(Repeat()->currentText(), QStringLiteral("5"));
    QTest::mousePress(Find<QLabel>(QStringLiteral("lbl_BGM1")), Qt::LeftButton); // "音楽CD"
    TypeRepeat(QString::fromUtf8(GetParam().text));
    ASSERT_EQ(Repeat()->currentText(), QString::fromUtf8(GetParam().text));
    QTest::mousePress(BgmMark(0), Qt::LeftButton); // back to "無し": the box is disabled
    EXPECT_FALSE(Repeat()->isEnabled());
    Click(QStringLiteral("Cmd_Set"));
    EXPECT_EQ(settings_.BGMRepeat, GetParam().saved);
    Settings reread;
    LoadSettings(reread, ini_);
    EXPECT_EQ(reread.BGMRepeat, GetParam().saved);
    EXPECT_EQ(reread.BGMKind, 0);
}
INSTANTIATE_TEST_SUITE_P(Texts, RepeatTyped,
                         ::testing::Values(Typed{"7", 7}, Typed{"abc", 0}, Typed{"2.5", 2},
                                           Typed{"3.5", 4}, Typed{"40000", 5}, Typed{"", 0}));

TEST_F(QuibPTest, MusicButtonOnlyForTheFileAndRepeatBoxOnlyForTheCdAndBothKeepTheirText) {
    const QString music = WritePicture(QStringLiteral("tune.WAV"), QImage(2, 2, QImage::Format_RGB32));
    WriteIni(kSection, kKeyBgmKind, QStringLiteral(" 2"), ini_);
    WriteIni(kSection, kKeyBgmFile, music, ini_);
    WriteIni(kSection, kKeyBgmRepeat, QStringLiteral(" 4"), ini_);
    Open();
    auto* fileField = Find<QLineEdit>(QStringLiteral("lbl_Fname"));
    Command* cmdBgm = Button(QStringLiteral("Cmd_BGM"));
    EXPECT_EQ(fileField->text(), music);
    EXPECT_TRUE(cmdBgm->Enabled());
    EXPECT_FALSE(Repeat()->isEnabled());
    EXPECT_TRUE(IsSelected(BgmMark(2)));

    struct Step {
        const char* widget;
        int kind;
    };
    for (const Step step : {Step{"lbl_BGM1", 1}, Step{"Img_BGM0", 0}, Step{"Img_BGM2", 2},
                            Step{"Img_BGM1", 1}, Step{"lbl_BGM2", 2}, Step{"lbl_BGM0", 0}}) {
        QTest::mousePress(Find<QWidget>(QString::fromLatin1(step.widget)), Qt::LeftButton);
        SCOPED_TRACE(step.widget);
        EXPECT_EQ(settings_.BGMKind, step.kind);
        EXPECT_EQ(cmdBgm->Enabled(), step.kind == 2);
        EXPECT_EQ(Repeat()->isEnabled(), step.kind == 1);
        for (int k = 0; k < 3; ++k) EXPECT_EQ(IsSelected(BgmMark(k)), k == step.kind) << k;
        EXPECT_EQ(Repeat()->currentText(), QStringLiteral("4"));
        EXPECT_EQ(fileField->text(), music);
    }
}

TEST_F(QuibPTest, MusicFileIsChosenWithItsOwnFilterAndACancelChangesNothing) {
    const QString music = WritePicture(QStringLiteral("old.wav"), QImage(2, 2, QImage::Format_RGB32));
    WriteIni(kSection, kKeyBgmKind, QStringLiteral(" 2"), ini_);
    WriteIni(kSection, kKeyBgmFile, music, ini_);
    Open();
    answers_ = {QStringLiteral("/music/song.mp3"), QString()};
    Click(QStringLiteral("Cmd_BGM"));
    ASSERT_EQ(requests_.size(), 1u);
    EXPECT_EQ(requests_[0].title, QStringLiteral("ﾌｧｲﾙを開く"));
    EXPECT_EQ(requests_[0].filter.description, QStringLiteral("BGMﾌｧｲﾙ (MP3 WAV)"));
    EXPECT_EQ(requests_[0].filter.patterns, QStringLiteral("*.MP3;*.WAV"));
    EXPECT_EQ(settings_.BGMFile, QStringLiteral("/music/song.mp3"));
    EXPECT_EQ(Find<QLineEdit>(QStringLiteral("lbl_Fname"))->text(), QStringLiteral("/music/song.mp3"));
    Click(QStringLiteral("Cmd_BGM")); // cancelled
    EXPECT_EQ(requests_.size(), 2u);
    EXPECT_EQ(settings_.BGMFile, QStringLiteral("/music/song.mp3"));
    answers_ = {QStringLiteral("/") + QString(300, QLatin1Char('m'))}; // would not read back whole
    Click(QStringLiteral("Cmd_BGM"));
    EXPECT_EQ(requests_.size(), 3u);
    EXPECT_EQ(settings_.BGMFile, QStringLiteral("/music/song.mp3"));
    EXPECT_EQ(Find<QLineEdit>(QStringLiteral("lbl_Fname"))->text(), QStringLiteral("/music/song.mp3"));
    // While "無し" is selected the button is disabled and raises nothing.
    QTest::mousePress(BgmMark(0), Qt::LeftButton);
    Click(QStringLiteral("Cmd_BGM"));
    EXPECT_EQ(requests_.size(), 3u);
}

TEST_F(QuibPTest, SecondaryButtonSelectsOnMarksAndMusicCaptionsButNotOnPictureCaptions) {
    Open();
    ASSERT_EQ(settings_.PicKind, 0);
    QTest::mouseClick(Find<QWidget>(QStringLiteral("lbl_Pic1")), Qt::RightButton);
    EXPECT_EQ(settings_.PicKind, 0);
    EXPECT_TRUE(IsSelected(PicMark(0)));
    QTest::mouseClick(Find<QWidget>(QStringLiteral("lbl_Pic1")), Qt::MiddleButton);
    EXPECT_EQ(settings_.PicKind, 0);
    QTest::mousePress(PicMark(1), Qt::RightButton);
    EXPECT_EQ(settings_.PicKind, 1);
    EXPECT_TRUE(IsSelected(PicMark(1)));
    EXPECT_TRUE(IsUnselected(PicMark(0)));
    QTest::mouseRelease(PicMark(1), Qt::RightButton);
    // A press alone on a picture caption is not a click.
    QTest::mousePress(Find<QWidget>(QStringLiteral("lbl_Pic0")), Qt::LeftButton);
    EXPECT_EQ(settings_.PicKind, 1);
    QTest::mouseRelease(Find<QWidget>(QStringLiteral("lbl_Pic0")), Qt::LeftButton);
    EXPECT_EQ(settings_.PicKind, 0);
    EXPECT_TRUE(IsSelected(PicMark(0)));

    QTest::mousePress(Find<QWidget>(QStringLiteral("lbl_BGM2")), Qt::RightButton);
    EXPECT_EQ(settings_.BGMKind, 2);
    QTest::mousePress(BgmMark(1), Qt::RightButton);
    EXPECT_EQ(settings_.BGMKind, 1);
    QTest::mousePress(Find<QWidget>(QStringLiteral("lbl_BGM0")), Qt::MiddleButton);
    EXPECT_EQ(settings_.BGMKind, 0);
}

TEST_F(QuibPTest, StoredSourcesOutOfRangeLeaveMarksEmptyAndAreSavedBackUnchanged) {
    WriteIni(kSection, kKeyPicKind, QStringLiteral(" 2"), ini_);
    WriteIni(kSection, kKeyBgmKind, QStringLiteral("-1"), ini_);
    Open();
    EXPECT_TRUE(PicMark(0)->Mark().isNull());
    EXPECT_TRUE(PicMark(1)->Mark().isNull());
    for (int k = 0; k < 3; ++k) EXPECT_TRUE(IsUnselected(BgmMark(k))) << k;
    EXPECT_FALSE(Button(QStringLiteral("Cmd_BGM"))->Enabled());
    EXPECT_FALSE(Repeat()->isEnabled());
    Click(QStringLiteral("Cmd_Set"));
    EXPECT_EQ(Stored(kKeyPicKind), QStringLiteral("2"));
    EXPECT_EQ(Stored(kKeyBgmKind), QStringLiteral("-1"));
}

TEST_F(QuibPTest, ChosenPicturesAreShownAndDesktopCaptureKeepsAllSixPaths) {
    std::vector<QString> paths;
    for (int n = 1; n <= 6; ++n)
        paths.push_back(WritePicture(QStringLiteral("wall%1.bmp").arg(n),
                                     Halves(20 * n, 10, Qt::red, QColor(0, 0, 255))));
    Open();
    QTest::mousePress(PicMark(1), Qt::LeftButton);
    answers_ = paths;
    for (int n = 1; n <= 6; ++n) Click(QStringLiteral("Cmd_Pic%1").arg(n));
    ASSERT_EQ(requests_.size(), 6u);
    for (const Chosen& request : requests_) {
        EXPECT_EQ(request.title, QStringLiteral("ﾌｧｲﾙを開く"));
        EXPECT_EQ(request.filter.description, QStringLiteral("画像ﾌｧｲﾙ (bmp jpg gif)"));
        EXPECT_EQ(request.filter.patterns, QStringLiteral("*.bmp;*.jpg;*.gif"));
    }
    for (int n = 1; n <= 6; ++n) {
        EXPECT_EQ(PathField(n)->text(), paths[n - 1]);
        EXPECT_EQ(Thumb(n)->Retained().pixel(2, 2), qRgb(255, 0, 0)) << n;
    }
    EXPECT_EQ(settings_.PicKind, 1); // choosing files does not change the source
    dialog_->grab().save(QStringLiteral("settings_dialog_pictures.png")); // for a person to look at

    QTest::mouseClick(Find<QWidget>(QStringLiteral("lbl_Pic0")), Qt::LeftButton);
    EXPECT_EQ(settings_.PicKind, 0);
    for (int n = 1; n <= 6; ++n) EXPECT_EQ(PathField(n)->text(), paths[n - 1]);
    Click(QStringLiteral("Cmd_Set"));

    // The next start shows them again.
    dialog_.reset();
    settings_ = Settings{};
    Open();
    EXPECT_EQ(settings_.PicKind, 0);
    for (int n = 1; n <= 6; ++n) {
        EXPECT_EQ(PathField(n)->text(), paths[n - 1]);
        EXPECT_EQ(Thumb(n)->Retained().pixel(2, 2), qRgb(255, 0, 0)) << n;
    }
}

TEST_F(QuibPTest, ThumbnailSqueezesWithoutBlendingAndAnUnreadableFileKeepsThePreviousPicture) {
    // Wide: red left half, blue right half, squeezed to 37 x 37; the border hides the
    // last columns and rows of the drawing.
    const QString wide = WritePicture(QStringLiteral("wide.bmp"), Halves(400, 20, Qt::red, QColor(0, 0, 255)));
    // Stripes of single columns: dropping columns leaves only the two colours.
    QImage stripes(111, 111, QImage::Format_RGB32);
    for (int x = 0; x < 111; ++x)
        for (int y = 0; y < 111; ++y) stripes.setPixel(x, y, x % 2 ? qRgb(0, 0, 0) : qRgb(255, 255, 255));
    const QString striped = WritePicture(QStringLiteral("stripes.bmp"), stripes);
    const QString text = dir_.filePath(QStringLiteral("notes.bmp"));
    {
        QFile f(text);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("this is not a picture\n");
    }
    Open();
    answers_ = {wide, text, striped};
    Click(QStringLiteral("Cmd_Pic1"));
    const QImage thumb = Thumb(1)->Retained();
    ASSERT_EQ(thumb.size(), QSize(33, 33)); // 37 x 37 less the two-pixel border
    EXPECT_EQ(thumb.pixel(0, 0), qRgb(255, 0, 0));
    EXPECT_EQ(thumb.pixel(0, 32), qRgb(255, 0, 0));   // proportions not kept: full height
    EXPECT_EQ(thumb.pixel(15, 16), qRgb(255, 0, 0));
    EXPECT_EQ(thumb.pixel(20, 16), qRgb(0, 0, 255));
    EXPECT_EQ(thumb.pixel(32, 32), qRgb(0, 0, 255));

    Click(QStringLiteral("Cmd_Pic1")); // the text file
    EXPECT_EQ(PathField(1)->text(), text);
    EXPECT_EQ(settings_.PicPath[1], text);
    EXPECT_EQ(Thumb(1)->Retained(), thumb);

    Click(QStringLiteral("Cmd_Pic2"));
    const QImage drawn = Thumb(2)->Retained();
    int black = 0, white = 0;
    for (int x = 0; x < drawn.width(); ++x)
        for (int y = 0; y < drawn.height(); ++y) {
            const QRgb c = drawn.pixel(x, y);
            if (c == qRgb(0, 0, 0)) ++black;
            else if (c == qRgb(255, 255, 255)) ++white;
            else ADD_FAILURE() << "blended pixel at " << x << "," << y;
        }
    EXPECT_GT(black, 0);
    EXPECT_GT(white, 0);

    Click(QStringLiteral("Cmd_Set"));
    EXPECT_EQ(Stored(PathKey(1)), text);
}

TEST_F(QuibPTest, CancelAndTheCloseBoxWriteNothingAfterFilesWereChosen) {
    const QString picture = WritePicture(QStringLiteral("a.bmp"), Halves(8, 8, Qt::red, Qt::red));
    WriteIni(kSection, kKeyBgmRepeat, QStringLiteral(" 3"), ini_);
    const QByteArray before = IniBytes();
    for (int way = 0; way < 2; ++way) {
        settings_ = Settings{};
        Open();
        answers_ = {picture};
        Click(QStringLiteral("Cmd_Pic4"));
        ASSERT_EQ(settings_.PicPath[4], picture);
        QTest::mousePress(PicMark(1), Qt::LeftButton);
        TypeRepeat(QStringLiteral("9"));
        if (way == 0)
            Click(QStringLiteral("Cmd_Can"));
        else
            dialog_->close(); // the close box
        EXPECT_FALSE(dialog_->isVisible()) << way;
        EXPECT_EQ(dialog_->result(), QDialog::Rejected) << way;
        EXPECT_EQ(IniBytes(), before) << way;
        dialog_.reset();
    }
    // And with no INI file at all, none appears.
    std::filesystem::remove(ini_);
    settings_ = Settings{};
    Open();
    Click(QStringLiteral("Cmd_Can"));
    EXPECT_FALSE(IniExists());
}

TEST_F(QuibPTest, EnterAndEscDoNothing) {
    Open();
    dialog_->activateWindow();
    for (QWidget* target : {static_cast<QWidget*>(dialog_.get()), static_cast<QWidget*>(Repeat()->lineEdit()),
                            static_cast<QWidget*>(PathField(1)),
                            static_cast<QWidget*>(Button(QStringLiteral("Cmd_Set")))}) {
        for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape, Qt::Key_Space}) {
            QTest::keyClick(target, key);
            EXPECT_TRUE(dialog_->isVisible()) << key;
        }
    }
    QTest::mousePress(BgmMark(1), Qt::LeftButton);
    TypeRepeat(QStringLiteral("12"));
    QTest::keyClick(Repeat()->lineEdit(), Qt::Key_Return);
    EXPECT_EQ(Repeat()->count(), 31); // nothing added to the list
    EXPECT_TRUE(dialog_->isVisible());
    EXPECT_FALSE(IniExists());
}

TEST_F(QuibPTest, HomePageOpensOnceUnderTheBusyPointerAndTheDialogStays) {
    Open();
    Click(QStringLiteral("Cmd_Etc"));
    ASSERT_EQ(opened_.size(), 1u);
    EXPECT_EQ(opened_[0], QuibP::HomePage());
    EXPECT_EQ(opened_[0].scheme(), QStringLiteral("https"));
    EXPECT_EQ(cursorsWhileOpening_[0], Qt::WaitCursor);
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
    EXPECT_TRUE(dialog_->isVisible());
    EXPECT_FALSE(IniExists());
}

TEST_F(QuibPTest, QtFileDialogShowsTheTitleAndFilterAndItsChoiceIsTaken) {
    const QString picture = WritePicture(QStringLiteral("chosen.bmp"), Halves(40, 40, Qt::red, Qt::red));
    Open(/*realFileDialog=*/true);
    QString seenTitle;
    QStringList seenFilters;
    bool found = false;
    // The file dialog is modal: it is answered from the event loop it runs.
    QTimer::singleShot(0, [&] {
        (void)QTest::qWaitFor([&] { return QApplication::activeModalWidget() != dialog_.get(); }, 5000);
        auto* files = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!files) return;
        found = true;
        seenTitle = files->windowTitle();
        seenFilters = files->nameFilters();
        files->selectFile(picture);
        static_cast<QDialog*>(files)->accept(); // public in QDialog
    });
    Click(QStringLiteral("Cmd_Pic5"));
    ASSERT_TRUE(found);
    EXPECT_EQ(seenTitle, QStringLiteral("ﾌｧｲﾙを開く"));
    EXPECT_EQ(seenFilters, QStringList{QStringLiteral("画像ﾌｧｲﾙ (bmp jpg gif) (*.bmp *.jpg *.gif)")});
    EXPECT_EQ(settings_.PicPath[5], picture);
    EXPECT_EQ(PathField(5)->text(), picture);
    EXPECT_EQ(Thumb(5)->Retained().pixel(3, 3), qRgb(255, 0, 0));

    // Cancelled: nothing changes.
    QTimer::singleShot(0, [&] {
        (void)QTest::qWaitFor([&] { return QApplication::activeModalWidget() != dialog_.get(); }, 5000);
        if (auto* files = qobject_cast<QFileDialog*>(QApplication::activeModalWidget())) files->reject();
    });
    Click(QStringLiteral("Cmd_Pic5"));
    EXPECT_EQ(settings_.PicPath[5], picture);
}

// Counts the windows other than the dialog that are shown: the opening and closing
// animations show one each time they play.
class ShownWindows : public QObject {
public:
    explicit ShownWindows(QWidget* except) : except_(except) { qApp->installEventFilter(this); }
    ~ShownWindows() override { qApp->removeEventFilter(this); }
    int count = 0;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Show)
            if (auto* w = qobject_cast<QWidget*>(watched); w && w->isWindow() && w != except_) ++count;
        return false;
    }

private:
    QWidget* except_;
};

TEST_F(QuibPTest, EveryWayOfClosingPlaysTheClosingAnimation) {
    for (const char* way : {"Cmd_Set", "Cmd_Can", "close box"}) {
        settings_ = Settings{};
        Open();
        ShownWindows shown(dialog_.get());
        if (QString::fromLatin1(way).startsWith(QLatin1String("Cmd_")))
            Click(QString::fromLatin1(way));
        else
            dialog_->close();
        EXPECT_FALSE(dialog_->isVisible()) << way;
        EXPECT_EQ(shown.count, 1) << way;
        dialog_.reset();
    }
}

} // namespace
} // namespace quelm

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
