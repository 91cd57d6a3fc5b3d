#include "button/command.h"

#include <QApplication>
#include <QCursor>
#include <QFocusEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QTimer>
#include <cmath>
#include <limits>
#include <optional>

#include "button/property_bag.h"
#include "button/state_pictures.h"
#include "platform/core/vb_runtime.h"

namespace quelm {
namespace {

constexpr int kMouseTimerMs = 100;        // pointer-leave test interval
constexpr QRgb kClearColour = 0xFFECE9D8; // the face's back colour before the gradient
constexpr uint32_t kBlack = 0x000000;
constexpr uint32_t kLargestColourRef = 0x00FFFFFF;

// Stored-set keys and defaults. Reading and writing use different caption defaults.
const QString kKeyEnabled = QStringLiteral("Enabled");
const QString kKeyCaption = QStringLiteral("Caption");
const QString kKeyFirstRun = QStringLiteral("FirstRun");
const QString kKeyFont = QStringLiteral("Font");
const QString kKeyFontColour = QStringLiteral("FontColour");
const QString kKeyVisible = QStringLiteral("Visible");
const QString kCaptionDefaultRead = QStringLiteral("Command1");
const QString kCaptionDefaultWrite = QStringLiteral("Command");
const QString kNewCaption = QStringLiteral("Command");
const QString kNumberOneText = QStringLiteral("1");
const QString kNumberZeroText = QStringLiteral("0");

QColor FromColourRef(uint32_t ref) { return QColor(ref & 0xFF, (ref >> 8) & 0xFF, (ref >> 16) & 0xFF); }

// A stored value as a number: numbers as they are, text read as a whole number text.
std::optional<double> StoredNumber(const QVariant& v) {
    if (v.typeId() == QMetaType::Bool) return v.toBool() ? -1.0 : 0.0; // True is -1 as a number
    if (v.typeId() == QMetaType::QString) return core::ParseNumber(v.toString().toStdString());
    bool ok = false;
    const double d = v.toDouble(&ok);
    return ok ? std::optional<double>(d) : std::nullopt;
}

// Rounds half to even and checks the range; nothing when the value does not fit.
std::optional<long long> RoundedInRange(const std::optional<double>& value, long long lo, long long hi) {
    if (!value || !std::isfinite(*value)) return std::nullopt;
    const double r = std::nearbyint(*value); // the default rounding mode goes half to even
    if (r < static_cast<double>(lo) || r > static_cast<double>(hi)) return std::nullopt;
    return static_cast<long long>(r);
}

std::optional<bool> StoredBool(const QVariant& v) {
    if (v.typeId() == QMetaType::Bool) return v.toBool();
    if (v.typeId() == QMetaType::QString) {
        const QString t = v.toString().trimmed();
        if (t.compare(QStringLiteral("True"), Qt::CaseInsensitive) == 0) return true;
        if (t.compare(QStringLiteral("False"), Qt::CaseInsensitive) == 0) return false;
    }
    const auto n = StoredNumber(v);
    if (!n || !std::isfinite(*n)) return std::nullopt;
    return *n != 0.0;
}

} // namespace

Command::Command(QWidget* parent) : QWidget(parent), rules_(*this) {
    setMouseTracking(true); // mouse moves without a pressed button drive the hover look
    setFocusPolicy(Qt::StrongFocus);
    lblMsg_ = new QLabel(kNewCaption, this);
    // The caption is part of the face: its mouse events go to the face and the pointer over
    // it counts as over the button.
    lblMsg_->setAttribute(Qt::WA_TransparentForMouseEvents);
    lblMsg_->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    lblMsg_->setAutoFillBackground(false);
    lblMsg_->setFont(DesignFont());
    SetCaptionColour(kBlack);
    tmrMouse_ = new QTimer(this);
    connect(tmrMouse_, &QTimer::timeout, this, &Command::OnMouseTimer);
}

Command::~Command() = default;

QFont Command::DesignFont() {
    QFont font(QStringLiteral("ＭＳ Ｐゴシック"));
    constexpr double kDesignFontPoints = 9.75;
    font.setPointSizeF(kDesignFontPoints);
    font.setWeight(QFont::Normal);
    return font;
}

QFont Command::AmbientFont() const { return parentWidget() ? parentWidget()->font() : DesignFont(); }

double Command::TwipsPerPixelX() const { return core::TwipsPerPixel(logicalDpiX()); }

double Command::TwipsPerPixelY() const { return core::TwipsPerPixel(logicalDpiY()); }

void Command::Initialize() {
    rules_.Initialize();
    tmrMouse_->setInterval(kMouseTimerMs);
    tmrMouse_->start();
}

// ---- painting -------------------------------------------------------------------------

void Command::DrawFace(ButtonPicture picture, bool gradientInverted) {
    const int widthTwips = static_cast<int>(std::lround(width() * TwipsPerPixelX()));
    const int heightTwips = static_cast<int>(std::lround(height() * TwipsPerPixelY()));
    layout_.Compute(widthTwips, heightTwips);

    // The face image has the screen's own pixels: with a device pixel ratio above 1 a
    // twip is a smaller share of a device pixel than of a logical one.
    const double ratio = devicePixelRatioF();
    const QSize deviceSize(static_cast<int>(std::lround(width() * ratio)),
                           static_cast<int>(std::lround(height() * ratio)));
    if (face_.size() != deviceSize) face_ = QImage(deviceSize, QImage::Format_RGB32);
    face_.setDevicePixelRatio(ratio);
    face_.fill(kClearColour);

    // The gradient: one colour a row, from the top colour at row 0 to the bottom colour at
    // the last row, 16-bit intensities shown at 8 bits.
    const GradientEnds ends = GradientColours(gradientInverted);
    for (int y = 0; y < face_.height(); ++y) {
        const Colour16 c = GradientRow(ends, y, face_.height());
        const QRgb rgb = qRgb(c.red >> 8, c.green >> 8, c.blue >> 8);
        QRgb* line = reinterpret_cast<QRgb*>(face_.scanLine(y));
        std::fill(line, line + face_.width(), rgb);
    }

    const QImage source = StatePicture(picture);
    for (const BorderPiece& piece : layout_.Pieces()) CopyPiece(source, piece);

    lastPicture_ = picture;
    update();
    PlaceCaption(widthTwips, heightTwips);
}

// Copies one piece, stretched without smoothing: each destination pixel takes the source
// pixel its centre falls on (rows and columns are repeated or dropped).
void Command::CopyPiece(const QImage& picture, const BorderPiece& piece) {
    const double tx = TwipsPerPixelX() / face_.devicePixelRatio(), ty = TwipsPerPixelY() / face_.devicePixelRatio();
    auto px = [](int twips, double perPixel) { return static_cast<int>(std::lround(twips / perPixel)); };
    const TwipRect& d = piece.destination;
    const TwipRect& s = piece.source;
    const int dx0 = px(d.x, tx), dx1 = px(d.x + d.width, tx);
    const int dy0 = px(d.y, ty), dy1 = px(d.y + d.height, ty);
    const int sx0 = px(s.x, kPictureTwipsPerPixel), sx1 = px(s.x + s.width, kPictureTwipsPerPixel);
    const int sy0 = px(s.y, kPictureTwipsPerPixel), sy1 = px(s.y + s.height, kPictureTwipsPerPixel);
    const int dw = dx1 - dx0, dh = dy1 - dy0, sw = sx1 - sx0, sh = sy1 - sy0;
    if (dw <= 0 || dh <= 0 || sw <= 0 || sh <= 0)
        return; // a face too small for its border: nothing to copy for this piece
    for (int y = 0; y < dh; ++y) {
        const int ty2 = dy0 + y;
        const int sy = std::clamp(sy0 + static_cast<int>((y + 0.5) * sh / dh), 0, picture.height() - 1);
        if (ty2 < 0 || ty2 >= face_.height()) continue;
        for (int x = 0; x < dw; ++x) {
            const int tx2 = dx0 + x;
            const int sx = std::clamp(sx0 + static_cast<int>((x + 0.5) * sw / dw), 0, picture.width() - 1);
            if (tx2 >= 0 && tx2 < face_.width()) face_.setPixel(tx2, ty2, picture.pixel(sx, sy));
        }
    }
}

void Command::PlaceCaption(int widthTwips, int heightTwips) {
    const double ty = TwipsPerPixelY();
    const int top = static_cast<int>(std::lround(FaceLayout::CaptionTop(heightTwips, kCaptionHeightTwips) / ty));
    const int height = static_cast<int>(std::lround(kCaptionHeightTwips / ty));
    const int width = static_cast<int>(std::lround(widthTwips / TwipsPerPixelX()));
    lblMsg_->setGeometry(0, top, width, height);
}

void Command::paintEvent(QPaintEvent*) {
    // With the transparent style only the caption shows, over the host's background.
    if (!opaque_ || face_.isNull()) return;
    QPainter painter(this);
    painter.drawImage(0, 0, face_);
}

void Command::ShowEnabledLook() {
    if (rules_.Enabled()) {
        rules_.Paint(ButtonPicture::Normal);
        lblMsg_->setEnabled(true);
    } else {
        rules_.Paint(ButtonPicture::Disable);
        lblMsg_->setEnabled(false); // greys the caption
    }
}

void Command::ResetFace() {
    if (!rules_.Enabled()) return;
    lblMsg_->setEnabled(true);
    if (rules_.FirstRun() == 0) SetCaptionColour(kBlack);
    rules_.Paint(ButtonPicture::Normal);
}

// ---- events ---------------------------------------------------------------------------

namespace {
std::optional<MouseButton> ToMouseButton(Qt::MouseButton b) {
    switch (b) {
    case Qt::LeftButton: return MouseButton::Left;
    case Qt::RightButton: return MouseButton::Right;
    case Qt::MiddleButton: return MouseButton::Middle;
    default: return std::nullopt;
    }
}
} // namespace

void Command::resizeEvent(QResizeEvent*) { ShowEnabledLook(); }

void Command::mouseMoveEvent(QMouseEvent*) { rules_.MouseMove(); }

void Command::mousePressEvent(QMouseEvent* event) {
    if (const auto b = ToMouseButton(event->button())) rules_.MouseDown(*b);
}

void Command::mouseReleaseEvent(QMouseEvent* event) {
    // Wherever the pointer is: the press grabbed the mouse for this button.
    if (const auto b = ToMouseButton(event->button())) rules_.MouseUp(*b);
}

void Command::focusInEvent(QFocusEvent*) { rules_.GotFocus(); }

void Command::focusOutEvent(QFocusEvent*) { rules_.LostFocus(); }

void Command::OnMouseTimer() {
    // Anything under the pointer but the button itself (the host, another window, or no
    // window of ours) means the pointer has left.
    if (QApplication::widgetAt(QCursor::pos()) != this) rules_.PointerLeft();
}

void Command::RaiseClick() { emit Click(); }

// ---- properties -----------------------------------------------------------------------

void Command::SetCaptionColour(uint32_t colourRef) {
    fontColour_ = colourRef;
    QPalette palette = lblMsg_->palette();
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive})
        palette.setColor(group, QPalette::WindowText, FromColourRef(colourRef));
    lblMsg_->setPalette(palette);
}

uint32_t Command::CaptionColour() const { return fontColour_; }

int Command::Visible() {
    if (opaque_) {
        constexpr int kOpaqueAnswer = 255;
        ResetFace();
        return kOpaqueAnswer;
    }
    return 0;
}

void Command::SetVisible(int value) {
    if (value != 0) {
        opaque_ = true;
        update();
        ResetFace();
    } else {
        opaque_ = false;
        update(); // no new face: the host's background shows through
    }
    emit PropertyChanged(kKeyVisible);
}

uint32_t Command::FontColour() {
    const uint32_t colour = CaptionColour();
    ResetFace();
    return colour;
}

void Command::SetFontColour(uint32_t colourRef) {
    if (colourRef > kLargestColourRef) {
        // Not a colour: the caption keeps its colour, the face is reset, no notice.
        ResetFace();
        return;
    }
    SetCaptionColour(colourRef);
    ResetFace();
    emit PropertyChanged(kKeyFontColour);
}

bool Command::Enabled() {
    if (rules_.FirstRun() == 0) {
        // First use of a button that never had a stored set: make it usable.
        ResetFace();
        rules_.SetFirstRun(1);
        rules_.SetEnabledField(true);
    }
    const bool result = rules_.Enabled();
    ShowEnabledLook();
    return result;
}

void Command::SetEnabled(bool value) {
    rules_.SetEnabledField(value);
    emit PropertyChanged(kKeyEnabled);
    ShowEnabledLook();
}

QString Command::Caption() const { return lblMsg_->text(); }

void Command::SetCaption(const QString& text) {
    lblMsg_->setText(text);
    emit PropertyChanged(kKeyCaption);
}

QFont Command::Font() const { return lblMsg_->font(); }

void Command::SetFont(const QFont& font) {
    lblMsg_->setFont(font);
    emit PropertyChanged(kKeyFont);
}

// ---- stored property set --------------------------------------------------------------

void Command::ReadProperties(const PropertyBag& bag) {
    // Each value that cannot be converted leaves its field as it was.
    if (const auto enabled = StoredBool(bag.ReadProperty(kKeyEnabled, true))) rules_.SetEnabledField(*enabled);

    const QVariant caption = bag.ReadProperty(kKeyCaption, kCaptionDefaultRead);
    if (caption.canConvert<QString>() && caption.typeId() != QMetaType::QFont) lblMsg_->setText(caption.toString());

    const QVariant font = bag.ReadProperty(kKeyFont, AmbientFont());
    if (font.typeId() == QMetaType::QFont) lblMsg_->setFont(font.value<QFont>());

    if (const auto firstRun = RoundedInRange(StoredNumber(bag.ReadProperty(kKeyFirstRun, kNumberOneText)), 0, 255))
        rules_.SetFirstRun(static_cast<uint8_t>(*firstRun));

    constexpr long long kLongMin = std::numeric_limits<int32_t>::min();
    constexpr long long kLongMax = std::numeric_limits<int32_t>::max();
    if (const auto colour =
            RoundedInRange(StoredNumber(bag.ReadProperty(kKeyFontColour, kNumberZeroText)), kLongMin, kLongMax)) {
        const auto ref = static_cast<uint32_t>(static_cast<int32_t>(*colour));
        if (ref <= kLargestColourRef) SetCaptionColour(ref);
    }

    if (const auto style = core::ToInt16(StoredNumber(bag.ReadProperty(kKeyVisible, kNumberOneText)).value_or(NAN))) {
        if (*style == 0 || *style == 1) { // the two background styles; other values are refused
            opaque_ = *style == 1;
            update();
        }
    }

    ResetFace();
}

void Command::WriteProperties(PropertyBag& bag) const {
    bag.WriteProperty(kKeyEnabled, rules_.Enabled(), true);
    bag.WriteProperty(kKeyCaption, lblMsg_->text(), kCaptionDefaultWrite);
    bag.WriteProperty(kKeyFirstRun, static_cast<int>(rules_.FirstRun()), kNumberOneText);
    bag.WriteProperty(kKeyFont, lblMsg_->font(), AmbientFont());
    bag.WriteProperty(kKeyFontColour, static_cast<int32_t>(fontColour_), kNumberZeroText);
    bag.WriteProperty(kKeyVisible, static_cast<int>(opaque_ ? 1 : 0), kNumberOneText);
    // Saving ends with a fresh face, as loading does; only the look changes.
    const_cast<Command*>(this)->ResetFace();
}

} // namespace quelm
