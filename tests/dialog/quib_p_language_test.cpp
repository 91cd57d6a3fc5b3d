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

#include <cstdio>
#include <map>
#include <memory>

// Readable failures: sizes and texts as they read.
void PrintTo(const QSize& size, std::ostream* os) { *os << size.width() << 'x' << size.height(); }
void PrintTo(const QString& text, std::ostream* os) { *os << '"' << text.toStdString() << '"'; }

namespace quelm {
namespace {

struct Locale {
    const char *language, *lcAll, *lcMessages, *lang; // "" unsets
};

constexpr int kButtonRingPixels = 4; // the button's border, left and right of its caption
constexpr int kInkGrey = 128;        // caption pixels darker than this are the text's

bool IsAscii(const QString& text) {
    for (QChar c : text)
        if (c.unicode() > 0x7F) return false;
    return true;
}

class QuibPLanguageTest : public ::testing::Test {
protected:
    // The dialog on a first run in the language `locale` picks, shown; the translation's name.
    QString Open(const Locale& locale) {
        dialog_.reset();
        const std::pair<const char*, const char*> variables[] = {{"LANGUAGE", locale.language},
                                                                 {"LC_ALL", locale.lcAll},
                                                                 {"LC_MESSAGES", locale.lcMessages},
                                                                 {"LANG", locale.lang}};
        for (const auto& [name, value] : variables) *value ? qputenv(name, value) : qunsetenv(name);
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
    // Every label's box and every button caption's, in the dialog's pixels, with the text.
    using TextBoxes = std::map<QString, std::pair<QRect, QString>>;
    TextBoxes Texts() const {
        TextBoxes texts;
        auto box = [this](const QWidget* w) { return QRect(w->mapTo(dialog_.get(), QPoint()), w->size()); };
        for (const auto& design : dialog::Labels()) {
            const auto* label = dialog_->findChild<QLabel*>(design.name);
            texts[design.name] = {box(label), label->text()};
        }
        for (const auto& design : dialog::Buttons()) {
            const auto* button = dialog_->findChild<Command*>(design.name);
            texts[design.name] = {box(button->findChild<QLabel*>()), button->Caption()};
        }
        return texts;
    }
    // No caption on a panel had to grow, and a button's caption stays inside its border.
    void ExpectTranslatedWithinTheDesign(const TextBoxes& originals) const {
        auto check = [&](const QString& name, const dialog::TwipRect& at, const QWidget& control, const QFont& font,
                         const QString& text, int room) {
            SCOPED_TRACE(name.toStdString());
            const int width = QFontMetrics(font).horizontalAdvance(text);
            std::printf("%-9s %-18s %3d of %3d px\n", qPrintable(name), qPrintable(text), width, room);
            const QString& original = originals.at(name).second;
            if (!IsAscii(original)) { // words, not numbers or names
                EXPECT_NE(text, original);
            }
            EXPECT_EQ(control.size(), Designed(at));
            EXPECT_LE(width, room);
        };
        for (const auto& design : dialog::Labels()) {
            const auto* label = dialog_->findChild<QLabel*>(design.name);
            check(design.name, design.at, *label, label->font(), label->text(), label->width());
        }
        for (const auto& design : dialog::Buttons()) {
            auto* button = dialog_->findChild<Command*>(design.name);
            check(design.name, design.at, *button, button->Font(), button->Caption(),
                  button->width() - 2 * kButtonRingPixels);
        }
    }

    // Pixels differ only where a text changed (a label's box in either language, a button's
    // caption inside its border), and some in each; a changed caption is centred on its button.
    void ExpectChangedOnlyWhereTextsAre(const QImage& original, const TextBoxes& originals) const {
        const QImage shown = Picture();
        ASSERT_EQ(shown.size(), original.size());
        std::map<QString, QRect> changed;
        for (const auto& [name, text] : Texts()) {
            const auto& [before, originalText] = originals.at(name);
            if (text.second == originalText) continue;
            const bool button = dialog_->findChild<Command*>(name) != nullptr;
            changed[name] =
                button ? text.first.adjusted(kButtonRingPixels, 0, -kButtonRingPixels, 0) : text.first.united(before);
        }
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
            if (!dialog_->findChild<Command*>(name)) continue;
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
            title = t;
            asked = f;
            return QString();
        });
        QTest::mousePress(dialog_->findChild<QWidget*>(QStringLiteral("Img_BGM2")), Qt::LeftButton); // the music file
        for (const auto& [button, filter] :
             {std::pair{"Cmd_Pic1", dialog::kPictureFilter}, {"Cmd_BGM", dialog::kMusicFilter}}) {
            SCOPED_TRACE(button);
            title.clear();
            QTest::mouseClick(dialog_->findChild<QWidget*>(QString::fromLatin1(button)), Qt::LeftButton, {},
                              QPoint(5, 5));
            EXPECT_FALSE(title.isEmpty());
            EXPECT_NE(title, dialog::kOpenFileTitle);
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
    const TextBoxes originalTexts = Texts();
    const std::vector<std::string> translations = dialog::AvailableTranslations();
    EXPECT_NE(std::find(translations.begin(), translations.end(), dialog::kFallbackTranslation), translations.end());
    for (const std::string& name : translations) {
        SCOPED_TRACE(name);
        const std::string lang = name + ".UTF-8";
        ASSERT_EQ(Open({"", "", "", lang.c_str()}), QString::fromStdString(name));
        EXPECT_EQ(dialog_->windowTitle(), QStringLiteral("<Quelm>"));
        ExpectTranslatedWithinTheDesign(originalTexts);
        ExpectChangedOnlyWhereTextsAre(original, originalTexts);
        ExpectFileChoosersTranslated();
    }
}

TEST_F(QuibPLanguageTest, JapaneseAndPlainLocalesShowTheOriginalPixelForPixel) {
    const QString file =
        qEnvironmentVariable("QUELM_SOURCE_DIR") + QStringLiteral("/tests/dialog/reference/quib_p_ja.png");
    ASSERT_EQ(Open({"", "", "", "en_GB.UTF-8"}), QStringLiteral("en")); // one installed first goes
    if (dialog_->screen()->logicalDotsPerInchX() != 96.0) GTEST_SKIP() << "the reference is at 96 dots per inch";
    const Locale originals[] = {
        {"", "", "", "ja_JP.UTF-8"}, {"en", "", "", "C"}, {"", "", "", ""}, {"", "", "ja_JP.eucJP", "en_US.UTF-8"}};
    for (const Locale& locale : originals) {
        SCOPED_TRACE(std::string(locale.language) + '|' + locale.lcMessages + '|' + locale.lang);
        EXPECT_EQ(Open(locale), QString());
        const QImage picture = Picture();
        if (qEnvironmentVariableIntValue("QUELM_UPDATE_REFERENCES")) picture.save(file);
        const QImage reference = QImage(file).convertToFormat(QImage::Format_RGB32);
        ASSERT_EQ(picture.size(), reference.size());
        int differing = 0;
        for (int y = 0; y < picture.height(); ++y)
            for (int x = 0; x < picture.width(); ++x) differing += picture.pixel(x, y) != reference.pixel(x, y);
        EXPECT_EQ(differing, 0);
    }
}

} // namespace
} // namespace quelm

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
