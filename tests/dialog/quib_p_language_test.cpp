// The settings dialog in the user's language on a real X server: the translation the
// environment picks, each translation's texts measured at the dialog's font against the
// boxes the design gives them, and the window's pixels as the server holds them: the
// Japanese original unchanged (reference/quib_p_ja.png, taken from the dialog before it
// could be translated), a translated one different only where its texts are.
// QUELM_UPDATE_REFERENCES=1 rewrites the reference from the untranslated dialog (then look at it).
#include "button/command.h"
#include "dialog/language.h"
#include "dialog/quib_p.h"
#include "dialog/quib_p_design.h"
#include "dialog/translation.h"
#include "platform/core/twips.h"

#include <QApplication>
#include <QLabel>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <map>
#include <memory>

// Readable failures: sizes and texts as they read.
void PrintTo(const QSize& size, std::ostream* os) { *os << size.width() << 'x' << size.height(); }
void PrintTo(const QString& text, std::ostream* os) { *os << '"' << text.toStdString() << '"'; }

namespace quelm {
namespace {

using Locale = std::array<const char*, 4>; // LANGUAGE, LC_ALL, LC_MESSAGES, LANG; "" unsets

constexpr int kButtonRingPixels = 4; // the button's border, left and right of its caption
constexpr int kInkGrey = 128;        // caption pixels darker than this are the text's

bool IsAscii(const QString& text) {
    return std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() <= 0x7F; });
}

class QuibPLanguageTest : public ::testing::Test {
protected:
    // The dialog on a first run in the language `locale` picks, shown; the translation's name.
    QString Open(const Locale& locale) {
        dialog_.reset();
        const char* names[] = {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG"};
        for (int i = 0; i < 4; ++i) *locale[i] ? qputenv(names[i], locale[i]) : qunsetenv(names[i]);
        const QString translation = dialog::InstallTranslation();
        settings_ = Settings{};
        LoadSettings(settings_, ini_);
        QCursor::setPos(0, 0); // off the dialog: no button hovered
        dialog_ = std::make_unique<QuibP>(settings_, ini_);
        dialog_->Load();
        dialog_->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(dialog_.get()));
        return translation;
    }
    // The window's pixels read back from the X server, painted afresh.
    QImage Picture() const {
        dialog_->repaint();
        return dialog_->screen()->grabWindow(dialog_->winId()).toImage().convertToFormat(QImage::Format_RGB32);
    }
    // Every label and button caption: its box in the dialog's pixels (a caption's inside the
    // button's border), its text, the width that text takes and the room it has, its control's
    // size and the size the design gives it.
    struct Text {
        QRect box;
        QString text;
        int width, room;
        bool button;
        QSize size, designed;
    };
    using Texts = std::map<QString, Text>;
    Texts TextsShown() const {
        Texts texts;
        auto box = [this](const QWidget* w) { return QRect(w->mapTo(dialog_.get(), QPoint()), w->size()); };
        for (const auto& design : dialog::Labels()) {
            const auto* l = dialog_->findChild<QLabel*>(design.name);
            const int width = QFontMetrics(l->font()).horizontalAdvance(l->text());
            texts[design.name] = {box(l), l->text(), width, l->width(), false, l->size(), Designed(design.at)};
        }
        for (const auto& design : dialog::Buttons()) {
            const auto* b = dialog_->findChild<Command*>(design.name);
            const QRect caption = box(b->findChild<QLabel*>()).adjusted(kButtonRingPixels, 0, -kButtonRingPixels, 0);
            const int width = QFontMetrics(b->Font()).horizontalAdvance(b->Caption());
            const int room = b->width() - 2 * kButtonRingPixels;
            texts[design.name] = {caption, b->Caption(), width, room, true, b->size(), Designed(design.at)};
        }
        return texts;
    }
    // Words (not numbers or names) translated, every control of its designed size (no
    // caption had to grow) and every text within its room.
    static void ExpectTranslatedWithinTheDesign(const Texts& shown, const Texts& originals) {
        for (const auto& [name, t] : shown) {
            SCOPED_TRACE(name.toStdString());
            if (!IsAscii(originals.at(name).text)) {
                EXPECT_NE(t.text, originals.at(name).text);
            }
            EXPECT_LE(t.width, t.room) << t.text.toStdString();
            EXPECT_EQ(t.size, t.designed);
        }
    }

    // Pixels differ only where a text changed (a label's box in either language, a button's
    // caption inside its border), and some in each; a changed caption is centred on its button.
    void ExpectChangedOnlyWhereTextsAre(const Texts& texts, const QImage& original, const Texts& originals) const {
        const QImage shown = Picture();
        ASSERT_EQ(shown.size(), original.size());
        std::map<QString, QRect> changed;
        for (const auto& [name, t] : texts)
            if (t.text != originals.at(name).text)
                changed[name] = t.button ? t.box : t.box.united(originals.at(name).box);
        std::map<QString, int> differing;
        int elsewhere = 0;
        for (int y = 0; y < shown.height(); ++y)
            for (int x = 0; x < shown.width(); ++x) {
                if (shown.pixel(x, y) == original.pixel(x, y)) continue;
                auto in = std::find_if(changed.begin(), changed.end(),
                                       [&](const auto& c) { return c.second.contains(x, y); });
                in == changed.end() ? ++elsewhere : ++differing[in->first];
            }
        EXPECT_EQ(elsewhere, 0);
        for (const auto& [name, box] : changed) {
            SCOPED_TRACE(name.toStdString());
            EXPECT_GT(differing[name], 0);
            if (!texts.at(name).button) continue;
            int left = box.right(), right = box.left();
            for (int y = box.top(); y <= box.bottom(); ++y)
                for (int x = box.left(); x <= box.right(); ++x)
                    if (qGray(shown.pixel(x, y)) < kInkGrey) left = std::min(left, x), right = std::max(right, x);
            ASSERT_LE(left, right);
            EXPECT_LE(std::abs((left - box.left()) - (box.right() - right)), 2);
        }
    }

    // The file choosers' titles and filter descriptions translated; their patterns stay.
    void ExpectFileChoosersTranslated() const {
        dialog::FileFilter asked;
        QString title;
        dialog_->SetFileChooser([&](QWidget*, const QString& t, const dialog::FileFilter& f) {
            std::tie(title, asked) = std::tie(t, f);
            return QString();
        });
        QTest::mousePress(dialog_->findChild<QWidget*>(QStringLiteral("Img_BGM2")), Qt::LeftButton); // the music file
        for (const auto& [button, filter] :
             {std::pair{"Cmd_Pic1", dialog::kPictureFilter}, {"Cmd_BGM", dialog::kMusicFilter}}) {
            SCOPED_TRACE(button);
            title.clear();
            QTest::mouseClick(dialog_->findChild<QWidget*>(QString::fromLatin1(button)), Qt::LeftButton, {},
                              QPoint(5, 5));
            EXPECT_FALSE(title.isEmpty() || title == dialog::kOpenFileTitle) << title.toStdString();
            EXPECT_NE(asked.description, filter.description);
            EXPECT_EQ(asked.patterns, filter.patterns);
        }
    }

    QSize Designed(const dialog::TwipRect& r) const {
        const double dpi = dialog_->screen()->logicalDotsPerInchX();
        return {core::TwipsToPixels(r.width, dpi), core::TwipsToPixels(r.height, dpi)};
    }

    QTemporaryDir dir_;
    std::filesystem::path ini_{dir_.filePath(QStringLiteral("Quelm.ini")).toStdString()};
    Settings settings_;
    std::unique_ptr<QuibP> dialog_;
};

// Every translation the program carries: each text in words translated and within the box
// the design gives it, and the window changed only where its texts are.
TEST_F(QuibPLanguageTest, EachTranslationFitsTheDesignedBoxesAndChangesTheDialogOnlyWhereItsTextsAre) {
    ASSERT_EQ(Open({"", "", "", "C.UTF-8"}), QString());
    const QImage original = Picture();
    const Texts originals = TextsShown();
    const std::vector<std::string> translations = dialog::AvailableTranslations();
    EXPECT_NE(std::find(translations.begin(), translations.end(), dialog::kFallbackTranslation), translations.end());
    for (const std::string& name : translations) {
        SCOPED_TRACE(name);
        const std::string lang = name + ".UTF-8";
        ASSERT_EQ(Open({"", "", "", lang.c_str()}), QString::fromStdString(name));
        EXPECT_EQ(dialog_->windowTitle(), QStringLiteral("<Quelm>"));
        const Texts texts = TextsShown();
        ExpectTranslatedWithinTheDesign(texts, originals);
        ExpectChangedOnlyWhereTextsAre(texts, original, originals);
        ExpectFileChoosersTranslated();
    }
}

TEST_F(QuibPLanguageTest, JapaneseAndPlainLocalesShowTheOriginalPixelForPixel) {
    const QString file =
        qEnvironmentVariable("QUELM_SOURCE_DIR") + QStringLiteral("/tests/dialog/reference/quib_p_ja.png");
    ASSERT_EQ(Open({"", "", "", "en_GB.UTF-8"}), QStringLiteral("en")); // one installed first goes
    if (dialog_->screen()->logicalDotsPerInchX() != 96.0) GTEST_SKIP() << "the reference is at 96 dots per inch";
    // Which locales give the original is ChooseTranslation's table; here LANGUAGE and
    // LC_MESSAGES as the program reads them.
    for (const Locale& locale : {Locale{"en", "", "", "C"}, Locale{"", "", "ja_JP.eucJP", "en_US.UTF-8"}}) {
        SCOPED_TRACE(std::string(locale[0]) + '|' + locale[2] + '|' + locale[3]);
        EXPECT_EQ(Open(locale), QString());
        const QImage picture = Picture();
        if (qEnvironmentVariableIntValue("QUELM_UPDATE_REFERENCES")) picture.save(file);
        EXPECT_TRUE(picture == QImage(file).convertToFormat(QImage::Format_RGB32)) << "not the reference";
    }
}

} // namespace
} // namespace quelm

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
