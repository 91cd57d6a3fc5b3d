#pragma once
// Command: the program's own push button. It paints its face from six state pictures and
// a vertical gradient, tracks the pointer to show a hover look, shows focus, pressed and
// disabled looks, and raises Click when a mouse button is released on it. Its caption,
// font, caption colour, enabled flag and background style are kept in a stored property
// set (PropertyBag) that the host hands back when it recreates the button.
//
// Units: positions and sizes on the face are worked out in twips (1/1440 inch), at the
// screen's logical dots per inch (15 twips a pixel at 96 dpi); colours are 0x00BBGGRR.
#include <QFont>
#include <QImage>
#include <QString>
#include <QWidget>
#include <cstdint>
#include <memory>

#include "button/button_rules.h"

class QLabel;
class QTimer;

namespace quelm {

class PropertyBag;

class Command : public QWidget, private ButtonFaceSink {
    Q_OBJECT
public:
    // A new button before any stored property: disabled, first use pending, caption
    // "Command" in black in the design font, State 0, the pointer timer off.
    explicit Command(QWidget* parent = nullptr);
    ~Command() override;

    // Puts the button into its idle state (State 1) and starts the 100 ms pointer-leave
    // test. Does not repaint.
    void Initialize();

    // Background style: 255 when the face is opaque (reading it then repaints Normal),
    // 0 when transparent. Setting a non-zero value makes it opaque, 0 transparent.
    int Visible();
    void SetVisible(int value);

    // Caption colour, 0x00BBGGRR. Reading and setting both repaint Normal (when enabled).
    uint32_t FontColour();
    void SetFontColour(uint32_t colourRef);

    // Whether the button reacts at all. The first read of a button that never had a
    // stored property set makes it usable. Both read and set repaint Normal or Disable.
    bool Enabled();
    void SetEnabled(bool value);

    QString Caption() const;
    void SetCaption(const QString& text);

    // A copy of the caption's font (Qt fonts are values: change it through SetFont).
    QFont Font() const;
    void SetFont(const QFont& font);

    // The host's stored property set: read restores the button, write saves it.
    void ReadProperties(const PropertyBag& bag);
    void WriteProperties(PropertyBag& bag) const;

    // The host's ambient font: the parent widget's font, or the design font when the
    // button has no parent.
    QFont AmbientFont() const;
    // "ＭＳ Ｐゴシック", 9.75 pt, normal weight (mapped to an installed Gothic face by the host).
    static QFont DesignFont();

    // Read-only views of the button's state.
    ButtonState State() const { return rules_.State(); }
    bool ButtonHeld() const { return rules_.ButtonHeld(); }
    bool GradientInverted() const { return rules_.GradientInverted(); }
    uint8_t FirstRun() const { return rules_.FirstRun(); }
    // The picture the face was last painted with (None before the first paint).
    ButtonPicture LastPicture() const { return lastPicture_; }
    // Twips per logical pixel horizontally and vertically (15 at 96 dpi). The face is
    // painted in device pixels, which hold this divided by devicePixelRatioF() twips.
    double TwipsPerPixelX() const;
    double TwipsPerPixelY() const;

signals:
    void Click();
    // The host's property-changed notice: the named stored property must be saved again.
    void PropertyChanged(const QString& name);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    // ButtonFaceSink
    void DrawFace(ButtonPicture picture, bool gradientInverted) override;
    void RaiseClick() override;

    void ShowEnabledLook();
    void ResetFace();
    void OnMouseTimer();
    void SetCaptionColour(uint32_t colourRef);
    uint32_t CaptionColour() const;
    void PlaceCaption(int widthTwips, int heightTwips);
    void CopyPiece(const QImage& picture, const BorderPiece& piece);

    ButtonRules rules_;
    QLabel* lblMsg_ = nullptr;
    QTimer* tmrMouse_ = nullptr;
    QImage face_;
    bool opaque_ = true;
    uint32_t fontColour_ = 0;
    ButtonPicture lastPicture_ = ButtonPicture::None;
    FaceLayout layout_;
};

} // namespace quelm
