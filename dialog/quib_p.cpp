#include "dialog/quib_p.h"

#include "button/command.h"
#include "button/property_bag.h"
#include "dialog/artwork.h"
#include "dialog/quib_p_controls.h"
#include "dialog/quib_p_design.h"
#include "dialog/translation.h"
#include "dialog/zoom.h"
#include "platform/core/twips.h"
#include "platform/core/vb_runtime.h"
#include "platform/pictures/picture_decoding.h"

#include <QComboBox>
#include <QCursor>
#include <QDesktopServices>
#include <QFileDialog>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QScreen>

namespace quelm {

namespace {
// The project's home page: the one address "作品集" opens.
const char* const kHomePage = "https://quelm.example.org/";

const QString kGothicFace = QStringLiteral("IPAPGothic"); // fonts-ipafont-gothic
const QString kSansFace = QStringLiteral("DejaVu Sans");  // fonts-dejavu-core

QFont DesignFont(const QString& face, double points) {
    QFont font(face);
    font.setPointSizeF(points);
    font.setWeight(QFont::Normal);
    return font;
}

QColor Rgb(int rgb) { return QColor::fromRgb(static_cast<QRgb>(rgb)); }

QString DefaultChooseFile(QWidget* owner, const QString& title, const dialog::FileFilter& filter) {
    return QFileDialog::getOpenFileName(owner, title, QString(), dialog::QtNameFilter(filter), nullptr,
                                        QFileDialog::HideNameFilterDetails);
}

void DefaultOpenPage(const QUrl& address) { QDesktopServices::openUrl(address); }

// The filter as the user reads it: the description translated, the patterns as they are.
dialog::FileFilter TranslatedFilter(const dialog::FileFilter& filter) {
    return {dialog::Translated(filter.description), filter.patterns};
}
} // namespace

void InstallFontSubstitutes() {
    QFont::insertSubstitution(dialog::kTextFontFace, kGothicFace);
    QFont::insertSubstitution(QStringLiteral("MS PGothic"), kGothicFace);
    QFont::insertSubstitution(dialog::kPanelFontFace, kSansFace);
}

QUrl QuibP::HomePage() { return QUrl(QString::fromLatin1(kHomePage)); }

QuibP::QuibP(Settings& settings, std::filesystem::path ini, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint),
      settings_(settings), ini_(std::move(ini)), chooseFile_(DefaultChooseFile), openPage_(DefaultOpenPage),
      unselectedMark_(dialog::UnselectedMark()), selectedMark_(dialog::SelectedMark()) {
    InstallFontSubstitutes();
    if (QScreen* s = screen() ? screen() : QGuiApplication::primaryScreen()) dotsPerInch_ = s->logicalDotsPerInchX();
    setObjectName(QStringLiteral("Quib_P"));
    setWindowTitle(dialog::kCaption);
    setWindowIcon(dialog::ProgramIcon());
    setFont(DesignFont(dialog::kTextFontFace, dialog::kTextFontPoints));
    QPalette grey = palette();
    grey.setColor(QPalette::Window, Rgb(dialog::kGreyRgb));
    setPalette(grey);
    setAutoFillBackground(true);
    setFixedSize(core::TwipsToPixels(dialog::kClientWidthTwips, dotsPerInch_),
                 core::TwipsToPixels(dialog::kClientHeightTwips, dotsPerInch_));
    BuildControls();
}

QuibP::~QuibP() = default;

QWidget* QuibP::ContainerFor(dialog::Container container) {
    switch (container) {
    case dialog::Container::WallsPanel: return wallsPanel_;
    case dialog::Container::MusicPanel: return musicPanel_;
    default: return this;
    }
}

void QuibP::BuildControls() {
    using dialog::Container, dialog::TwipRect, dialog::Panel, dialog::CaptionLabel, dialog::MarkImage,
        dialog::Thumbnail, dialog::LabelDesign, dialog::LabelRole, dialog::LabelLook, dialog::LineDesign,
        dialog::ButtonDesign, dialog::kTextFontFace, dialog::kTextFontPoints, dialog::kPanelFontFace,
        dialog::kPanelFontPoints, dialog::kGreyRgb, dialog::kPictureSources, dialog::kMusicSources;
    const double dpi = dotsPerInch_;
    auto px = [dpi](int length) { return core::TwipsToPixels(length, dpi); };
    const QFont textFont = DesignFont(kTextFontFace, kTextFontPoints);
    const QColor windowColour = QGuiApplication::palette().color(QPalette::Base);
    auto place = [&](QWidget* w, Container in, const TwipRect& r) {
        QPoint origin(px(r.left), px(r.top));
        if (auto* panel = qobject_cast<Panel*>(ContainerFor(in))) origin += panel->InnerOrigin();
        w->setGeometry(QRect(origin, QSize(px(r.width), px(r.height))));
    };
    auto makePanel = [&](const QString& name, const TwipRect& r) {
        auto* panel = new Panel(this);
        panel->setObjectName(name);
        place(panel, Container::Client, r);
        return panel;
    };
    wallsPanel_ = makePanel(QStringLiteral("Pic_C1"), dialog::kWallsPanel);
    auto* musicPanel = makePanel(QStringLiteral("Pic_C0"), dialog::kMusicPanel);
    musicPanel->setFont(DesignFont(kPanelFontFace, kPanelFontPoints));
    musicPanel_ = musicPanel;

    for (const LineDesign& line : dialog::Lines()) {
        auto* panel = static_cast<Panel*>(ContainerFor(line.in));
        panel->AddLine(QLine(px(line.at.x1), px(line.at.y1), px(line.at.x2), px(line.at.y2)));
    }

    for (const LabelDesign& design : dialog::Labels()) {
        QLabel* label = design.role == LabelRole::None ? new QLabel(ContainerFor(design.in))
                                                       : new CaptionLabel(ContainerFor(design.in));
        label->setObjectName(design.name);
        const QString text = dialog::Translated(design.text);
        label->setText(text);
        label->setFont(textFont);
        QPalette pal = label->palette();
        pal.setColor(QPalette::WindowText, Qt::black);
        if (design.look == LabelLook::WindowCentred) {
            pal.setColor(QPalette::Window, windowColour);
            label->setAutoFillBackground(true);
        }
        label->setPalette(pal);
        label->setAlignment(design.look == LabelLook::PanelLeft ? Qt::AlignLeft | Qt::AlignTop
                                                                : Qt::AlignHCenter | Qt::AlignTop);
        place(label, design.in, design.at);
        // The Gothic face that stands in for the design's is a little wider: a caption on
        // the panel that would be cut grows to the right instead.
        if (design.look == LabelLook::PanelLeft) {
            const int needed = QFontMetrics(textFont).horizontalAdvance(text) + 1;
            if (needed > label->width()) label->resize(needed, label->height());
        }
        if (auto* caption = qobject_cast<CaptionLabel*>(label)) {
            const int k = design.index;
            if (design.role == LabelRole::PictureSource)
                connect(caption, &CaptionLabel::Clicked, this, [this, k] { SelectPictureSource(k); });
            else
                connect(caption, &CaptionLabel::Pressed, this, [this, k] { SelectMusicSource(k); });
        }
    }

    // The source marks: pressing one chooses its source.
    auto makeMark = [&](Container in, const QString& name, const TwipRect& box, auto select) {
        auto* mark = new MarkImage(in == Container::WallsPanel ? wallsPanel_ : musicPanel_);
        mark->setObjectName(name);
        mark->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        place(mark, in, box);
        connect(mark, &MarkImage::Pressed, this, select);
        return mark;
    };
    for (int k = 0; k < kPictureSources; ++k)
        picMarks_[k] = makeMark(Container::WallsPanel, QStringLiteral("Img_Pic") + QString::number(k),
                                dialog::PictureMark(k), [this, k] { SelectPictureSource(k); });
    for (int k = 0; k < kMusicSources; ++k)
        bgmMarks_[k] = makeMark(Container::MusicPanel, QStringLiteral("Img_BGM") + QString::number(k),
                                dialog::MusicMark(k), [this, k] { SelectMusicSource(k); });

    auto makeField = [&](QWidget* parent, const QString& name) {
        auto* field = new QLineEdit(parent);
        field->setObjectName(name);
        field->setReadOnly(true);
        field->setFrame(false);
        field->setFont(textFont);
        QPalette pal = field->palette();
        pal.setColor(QPalette::Base, Rgb(kGreyRgb));
        pal.setColor(QPalette::Text, Qt::black);
        field->setPalette(pal);
        return field;
    };
    for (int wall = 1; wall <= kWallCount; ++wall) {
        auto* thumb = new Thumbnail(wallsPanel_);
        thumb->setObjectName(QStringLiteral("Pic") + QString::number(wall));
        place(thumb, Container::WallsPanel, dialog::ThumbnailBox(wall));
        thumbnails_[wall] = thumb;
        pathFields_[wall] = makeField(wallsPanel_, QStringLiteral("txt_Path") + QString::number(wall));
        place(pathFields_[wall], Container::WallsPanel, dialog::PathField(wall));
    }
    musicFileField_ = makeField(musicPanel_, QStringLiteral("lbl_Fname"));
    place(musicFileField_, Container::MusicPanel, dialog::kMusicFileField);

    repeatBox_ = new QComboBox(musicPanel_); // no font of its own: the panel's
    repeatBox_->setObjectName(QStringLiteral("BGM_Repeat"));
    repeatBox_->setEditable(true);
    repeatBox_->setInsertPolicy(QComboBox::NoInsert);
    QPalette white = repeatBox_->palette();
    white.setColor(QPalette::Base, Qt::white);
    repeatBox_->setPalette(white);
    place(repeatBox_, Container::MusicPanel, dialog::kRepeatBox);

    // Each button gets its stored caption and font first, then its size, as a host does.
    for (const ButtonDesign& design : dialog::Buttons()) {
        auto* button = new Command(ContainerFor(design.in));
        button->setObjectName(design.name);
        PropertyBag bag;
        bag.WriteProperty(QStringLiteral("caption"), dialog::Translated(design.caption));
        bag.WriteProperty(QStringLiteral("font"), textFont);
        button->ReadProperties(bag);
        place(button, design.in, design.at);
        buttons_.push_back(button);
        const QString& name = design.name;
        if (name == QLatin1String("Cmd_Set")) {
            connect(button, &Command::Click, this, &QuibP::Accept);
        } else if (name == QLatin1String("Cmd_Can")) {
            connect(button, &Command::Click, this, &QDialog::reject);
        } else if (name == QLatin1String("Cmd_Etc")) {
            connect(button, &Command::Click, this, &QuibP::OpenHomePage);
        } else if (name == QLatin1String("Cmd_BGM")) {
            cmdBgm_ = button;
            connect(button, &Command::Click, this, &QuibP::ChooseMusic);
        } else {
            const int wall = name.mid(QStringLiteral("Cmd_Pic").size()).toInt();
            connect(button, &Command::Click, this, [this, wall] { ChoosePicture(wall); });
        }
    }
}

void QuibP::Load() {
    using dialog::FormatHashHash, dialog::kRepeatItems;
    // 1. Centred across, a third of the free height down; worked out in twips.
    if (QScreen* s = screen() ? screen() : QGuiApplication::primaryScreen()) {
        auto toTwips = [this](int pixels) { return core::PixelsToTwips(pixels, dotsPerInch_); };
        const QSize outer = frameGeometry().size();
        const dialog::Point at =
            dialog::WindowPlacement(toTwips(s->geometry().width()), toTwips(s->geometry().height()),
                                    toTwips(outer.width()), toTwips(outer.height()));
        move(s->geometry().topLeft() +
             QPoint(core::TwipsToPixels(at.x, dotsPerInch_), core::TwipsToPixels(at.y, dotsPerInch_)));
    }
    // 2. to 5.
    InitButtons();
    ShowPictureMarks();
    for (int wall = 1; wall <= kWallCount; ++wall) {
        if (settings_.PicPath[wall].isEmpty()) continue;
        pathFields_[wall]->setText(settings_.PicPath[wall]);
        DrawThumbnail(wall);
    }
    ShowMusicControls();
    // 6. The text first, then the list; the text need not match an item. Qt picks the
    // first item when a list starts, so the text is put back afterwards.
    const QString repeatText = FormatHashHash(settings_.BGMRepeat);
    repeatBox_->setEditText(repeatText);
    for (int item = 0; item < kRepeatItems; ++item) repeatBox_->addItem(FormatHashHash(item));
    repeatBox_->setCurrentIndex(-1);
    repeatBox_->setEditText(repeatText);
    // 7.
    musicFileField_->setText(settings_.BGMFile);
    // 8. The animation point: each coordinate kept only when it fits in signed 16-bit.
    const QPoint cursor = QCursor::pos();
    if (auto x = core::ToInt16(cursor.x())) zoomPoint_.setX(*x);
    if (auto y = core::ToInt16(cursor.y())) zoomPoint_.setY(*y);
    // 9. and 10.
    ZoomOpen(*this, zoomPoint_);
    while (QGuiApplication::overrideCursor()) QGuiApplication::restoreOverrideCursor();
}

void QuibP::InitButtons() {
    for (Command* button : buttons_) button->Initialize();
}

void QuibP::ShowPictureMarks() {
    // A stored source other than 0 or 1 leaves both marks empty.
    const int kind = settings_.PicKind;
    if (kind == 0 || kind == 1) {
        picMarks_[kind]->SetMark(selectedMark_);
        picMarks_[kind ^ 1]->SetMark(unselectedMark_);
    }
}

void QuibP::ShowMusicControls() {
    cmdBgm_->SetEnabled(false);
    repeatBox_->setEnabled(false);
    for (dialog::MarkImage* mark : bgmMarks_) mark->SetMark(unselectedMark_);
    const int kind = settings_.BGMKind;
    if (kind >= 0 && kind < dialog::kMusicSources) bgmMarks_[kind]->SetMark(selectedMark_);
    const dialog::MusicControls usable = dialog::MusicControlsFor(settings_.BGMKind);
    if (usable.repeatBox) repeatBox_->setEnabled(true);
    if (usable.fileButton) cmdBgm_->SetEnabled(true);
}

void QuibP::SelectPictureSource(int source) {
    settings_.PicKind = static_cast<int16_t>(source);
    ShowPictureMarks();
}

void QuibP::SelectMusicSource(int source) {
    settings_.BGMKind = static_cast<int16_t>(source);
    ShowMusicControls();
}

void QuibP::DrawThumbnail(int wall) {
    // The show's own reader, with its limits: what the show would refuse is not shown here.
    const QImage picture = pictures::LoadPictureFile(settings_.PicPath[wall].toStdString());
    if (picture.isNull()) return; // the thumbnail keeps its look
    staging_ = picture;
    thumbnails_[wall]->DrawScaled(staging_, dialog::kThumbnailPixels);
}

void QuibP::ChoosePicture(int wall) {
    const QString path =
        chooseFile_(this, dialog::Translated(dialog::kOpenFileTitle), TranslatedFilter(dialog::kPictureFilter));
    Settings chosen = settings_;
    chosen.PicPath[wall] = path;
    if (path.isEmpty() || !dialog::ChoiceTaken(settings_, chosen, ini_)) return;
    settings_.PicPath[wall] = path;
    pathFields_[wall]->setText(path);
    DrawThumbnail(wall);
}

void QuibP::ChooseMusic() {
    const QString path =
        chooseFile_(this, dialog::Translated(dialog::kOpenFileTitle), TranslatedFilter(dialog::kMusicFilter));
    Settings chosen = settings_;
    chosen.BGMFile = path;
    if (path.isEmpty() || !dialog::ChoiceTaken(settings_, chosen, ini_)) return;
    settings_.BGMFile = path;
    musicFileField_->setText(path);
}

void QuibP::CloseRequest() {
    if (closeRequested_) return;
    closeRequested_ = true;
    for (QDialog* chooser : findChildren<QDialog*>(Qt::FindDirectChildrenOnly)) chooser->reject();
    if (isVisible()) reject();
}

void QuibP::Accept() {
    settings_.BGMRepeat = dialog::RepeatFromText(repeatBox_->currentText(), settings_.BGMRepeat);
    SaveSettings(settings_, ini_);
    accept();
}

void QuibP::OpenHomePage() {
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    openPage_(HomePage());
    QGuiApplication::restoreOverrideCursor();
}

void QuibP::done(int result) {
    ZoomClose(*this, zoomPoint_);
    QDialog::done(result);
}

void QuibP::keyPressEvent(QKeyEvent* event) { event->accept(); }

} // namespace quelm
