#include "button/button_rules.h"

#include <cstdlib>
#include <cstring>
#include <limits>

namespace quelm {

const char* PictureName(ButtonPicture picture) {
    switch (picture) {
    case ButtonPicture::None: return "None";
    case ButtonPicture::Normal: return "Normal";
    case ButtonPicture::HighLight: return "HighLight";
    case ButtonPicture::HighLightSelect: return "HighLightSelect";
    case ButtonPicture::Pressed: return "Pressed";
    case ButtonPicture::Disable: return "Disable";
    case ButtonPicture::Selected: return "Selected";
    }
    return "None";
}

// Each step reads State as the step before it left it.
void ButtonRules::MouseMove() {
    if (!enabled_) return;
    if (state_ == ButtonState::Idle) {
        state_ = ButtonState::Hover;
        Paint(ButtonPicture::HighLight);
    }
    // While a press is held, moving back over a focused button does not bring back the
    // hover look: the leave test took it away and only a release may restore it.
    if (state_ == ButtonState::Focused && !buttonHeld_) {
        state_ = ButtonState::FocusedHover;
        Paint(ButtonPicture::HighLightSelect);
    }
}

void ButtonRules::PointerLeft() {
    if (!enabled_) return;
    if (state_ == ButtonState::Hover) {
        state_ = ButtonState::Idle;
        Paint(ButtonPicture::Normal);
    }
    if (state_ == ButtonState::FocusedHover) {
        state_ = ButtonState::Focused;
        Paint(ButtonPicture::Selected);
    }
}

void ButtonRules::GotFocus() {
    if (!enabled_) return;
    if (state_ != ButtonState::Hover) {
        state_ = ButtonState::Focused;
        Paint(ButtonPicture::Selected);
    }
    if (state_ == ButtonState::Hover) {
        state_ = ButtonState::FocusedHover;
        Paint(ButtonPicture::Pressed);
    }
}

void ButtonRules::LostFocus() {
    if (!enabled_) return;
    if (state_ != ButtonState::Idle) {
        state_ = ButtonState::Idle;
        Paint(ButtonPicture::Normal);
    }
}

void ButtonRules::MouseDown(MouseButton button) {
    if (!enabled_ || button != MouseButton::Left) return;
    buttonHeld_ = true;
    Paint(ButtonPicture::Pressed);
}

void ButtonRules::MouseUp(MouseButton button) {
    if (!enabled_) return;
    if (button == MouseButton::Left) {
        buttonHeld_ = false;
        if (state_ == ButtonState::Hover) Paint(ButtonPicture::Normal);
        if (state_ == ButtonState::FocusedHover) Paint(ButtonPicture::HighLightSelect);
    }
    // A release after the pointer was dragged off (State back to Focused) is no click.
    if (state_ != ButtonState::Focused) sink_.RaiseClick();
}

void ButtonRules::Paint(ButtonPicture picture) {
    switch (state_) {
    case ButtonState::Idle: gradientInverted_ = false; break;
    case ButtonState::Hover: gradientInverted_ = true; break;
    case ButtonState::Focused: gradientInverted_ = false; break;
    case ButtonState::Inactive:
    case ButtonState::FocusedHover: break; // keeps the direction of the previous paint
    }
    sink_.DrawFace(picture, gradientInverted_);
}

namespace {

// Stores value into field unless it overflows signed 16 bits; then the field keeps its value.
void Assign(int16_t& field, int value) {
    if (value >= std::numeric_limits<int16_t>::min() && value <= std::numeric_limits<int16_t>::max())
        field = static_cast<int16_t>(value);
}

void Assign(TwipRect& rect, int x, int y, int width, int height) {
    Assign(rect.x, x);
    Assign(rect.y, y);
    Assign(rect.width, width);
    Assign(rect.height, height);
}

} // namespace

void FaceLayout::Compute(int w, int h) {
    constexpr int b = kBorderTwips;                                    // 60: corner and edge thickness
    constexpr int pictureW = kPictureWidthPx * kPictureTwipsPerPixel;  // 960
    constexpr int pictureH = kPictureHeightPx * kPictureTwipsPerPixel; // 375
    constexpr int middleW = pictureW - 2 * b;                          // 840
    constexpr int middleH = pictureH - 2 * b;                          // 255
    constexpr int right = pictureW - b;                                // 900
    constexpr int bottom = pictureH - b;                               // 315
    constexpr int in = 1; // one twip in: falls on the first row or column of pixels

    auto& p = pieces_;
    Assign(p[0].destination, in, in, b, b);
    Assign(p[0].source, 0, 0, b, b);
    Assign(p[1].destination, b, in, w - 2 * b, b);
    Assign(p[1].source, b, in, middleW, b);
    Assign(p[2].destination, w - b, in, b, b);
    Assign(p[2].source, right, in, b, b);
    Assign(p[3].destination, w - b, b, b, h - 2 * b);
    Assign(p[3].source, right, b, b, middleH);
    Assign(p[4].destination, w - b, h - b, b, b);
    Assign(p[4].source, right, bottom, b, b);
    Assign(p[5].destination, b, h - b, w - 2 * b, b);
    Assign(p[5].source, b, bottom, middleW, b);
    Assign(p[6].destination, in, h - b, b, b);
    Assign(p[6].source, 0, bottom, b, b);
    Assign(p[7].destination, in, b, b, h - 2 * b);
    Assign(p[7].source, in, b, b, middleH);
}

int FaceLayout::CaptionTop(int heightTwips, int captionHeightTwips) {
    constexpr int kCaptionLift = 20;
    return (heightTwips - captionHeightTwips - kCaptionLift) / 2;
}

Colour16 ParseGradientColour(const char* colourText) {
    // "&H" then six hexadecimal digits; each pair becomes "&H" + pair + "00".
    const char* digits = colourText;
    if (std::strncmp(digits, "&H", 2) == 0 || std::strncmp(digits, "&h", 2) == 0) digits += 2;
    auto pair = [digits](int index) {
        char text[3] = {digits[index * 2], digits[index * 2 + 1], 0};
        return static_cast<uint16_t>(std::strtoul(text, nullptr, 16) * 256);
    };
    return Colour16{pair(0), pair(1), pair(2)};
}

GradientEnds GradientColours(bool inverted) {
    const Colour16 white = ParseGradientColour(kGradientWhite);
    const Colour16 lavender = ParseGradientColour(kGradientLavender);
    return inverted ? GradientEnds{lavender, white} : GradientEnds{white, lavender};
}

Colour16 GradientRow(const GradientEnds& ends, int y, int rows) {
    if (rows <= 1) return ends.top;
    auto mix = [y, rows](int top, int bottom) {
        return static_cast<uint16_t>(top + (bottom - top) * static_cast<long>(y) / (rows - 1));
    };
    return Colour16{mix(ends.top.red, ends.bottom.red), mix(ends.top.green, ends.bottom.green),
                    mix(ends.top.blue, ends.bottom.blue)};
}

} // namespace quelm
