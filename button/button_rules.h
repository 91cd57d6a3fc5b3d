#pragma once
// The push button's rules in plain C++: its visual states and their transitions, the
// choice of gradient direction, the layout of the eight border pieces in twips, and the
// two gradient colours. The widget (command.h) feeds it events and draws what it asks.
#include "platform/core/twips.h"

#include <array>
#include <cstdint>

namespace quelm {

// Visual state (unsigned 8-bit).
enum class ButtonState : uint8_t {
    Inactive = 0,     // created, Initialize not yet called
    Idle = 1,         // no focus, pointer not over the button
    Hover = 2,        // no focus, pointer over the button
    Focused = 3,      // keyboard focus, pointer not over the button
    FocusedHover = 4, // keyboard focus and pointer over the button
};

// The six state pictures (64 x 25 pixels; only a four-pixel ring is used).
enum class ButtonPicture : uint8_t {
    None,
    Normal,
    HighLight,
    HighLightSelect,
    Pressed,
    Disable,
    Selected,
};
const char* PictureName(ButtonPicture picture);

enum class MouseButton : uint8_t { Left, Right, Middle };

// What the rules ask of the face: paint a picture, raise the Click event.
class ButtonFaceSink {
public:
    virtual ~ButtonFaceSink() = default;
    virtual void DrawFace(ButtonPicture picture, bool gradientInverted) = 0;
    virtual void RaiseClick() = 0;
};

class ButtonRules {
public:
    explicit ButtonRules(ButtonFaceSink& sink) : sink_(sink) {}

    // Host method: State 1. Starting the pointer timer is the widget's part.
    void Initialize() { state_ = ButtonState::Idle; }

    // Events; each does nothing at all while Enabled is false.
    void MouseMove();
    void PointerLeft(); // the pointer-leave test saw the pointer off the button
    void GotFocus();
    void LostFocus();
    void MouseDown(MouseButton button);
    void MouseUp(MouseButton button);

    // Paints a picture through the sink, first setting the gradient direction from State:
    // Idle normal, Hover inverted, Focused normal; Inactive and FocusedHover keep it.
    void Paint(ButtonPicture picture);

    ButtonState State() const { return state_; }
    bool ButtonHeld() const { return buttonHeld_; }
    bool GradientInverted() const { return gradientInverted_; }
    bool Enabled() const { return enabled_; }
    uint8_t FirstRun() const { return firstRun_; }
    void SetEnabledField(bool value) { enabled_ = value; }
    void SetFirstRun(uint8_t value) { firstRun_ = value; }

private:
    ButtonFaceSink& sink_;
    ButtonState state_ = ButtonState::Inactive;
    bool buttonHeld_ = false;
    bool gradientInverted_ = false;
    bool enabled_ = false;
    uint8_t firstRun_ = 0;
};

// The fixed size of a state picture: always taken at 96 dots per inch, 960 x 375 twips.
constexpr int kPictureTwipsPerPixel = core::kTwipsPerStandardPixel;
constexpr int kPictureWidthPx = 64;
constexpr int kPictureHeightPx = 25;
constexpr int kBorderTwips = 60; // four pixels

struct TwipRect {
    int16_t x = 0, y = 0, width = 0, height = 0;
};
struct BorderPiece {
    TwipRect destination; // on the face, twips
    TwipRect source;      // on the 960 x 375 twip picture
};

// The eight border pieces in drawing order: top left, top, top right, right, bottom right,
// bottom, bottom left, left. A value that overflows signed 16 bits keeps the value it had
// in the previous layout (zero for the first).
class FaceLayout {
public:
    void Compute(int widthTwips, int heightTwips);
    const std::array<BorderPiece, 8>& Pieces() const { return pieces_; }
    // Top of the caption: (H - caption height - 20) / 2, twips.
    static int CaptionTop(int heightTwips, int captionHeightTwips);

private:
    std::array<BorderPiece, 8> pieces_{};
};
constexpr int kCaptionHeightTwips = 195;

// 16-bit channel intensities of a gradient end.
struct Colour16 {
    uint16_t red, green, blue;
};
// Turns a colour string "&HRRGGBB" into 16-bit intensities, pair by pair in the order
// written (red, green, blue), each pair p giving p x 256.
Colour16 ParseGradientColour(const char* colourText);
constexpr const char* kGradientWhite = "&HFFFFFF";
constexpr const char* kGradientLavender = "&HC6C5D7";
// Top and bottom colours for a direction: normal is white over lavender, inverted the reverse.
struct GradientEnds {
    Colour16 top, bottom;
};
GradientEnds GradientColours(bool inverted);
// The colour of row y of a vertical gradient over rows 0..rows-1, 16-bit per channel.
Colour16 GradientRow(const GradientEnds& ends, int y, int rows);

} // namespace quelm
