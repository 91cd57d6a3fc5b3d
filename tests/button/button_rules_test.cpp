// The push button's rules driven without a display: event sequences and the paints and
// clicks they give, and the gradient's ends.
#include <gtest/gtest.h>

#include <QStringList>
#include <functional>
#include <map>

#include "button/button_rules.h"

using namespace quelm;

namespace {

// Records what the rules ask of the face, in order: "Picture" or "Picture/inv", "Click".
class RecordingFace : public ButtonFaceSink {
public:
    void DrawFace(ButtonPicture p, bool inv) override { calls << PictureName(p) + QString(inv ? "/inv" : ""); }
    void RaiseClick() override { calls << "Click"; }
    QStringList calls;
};

struct Sequence {
    const char* what;
    const char* events; // init, move, leave, focus, blur, down/up (left), rdown/rup, mdown/mup
    const char* calls;
    ButtonState finalState;
};

// Every row starts from a new, enabled button whose first use is done. State 4 keeps the
// gradient direction of the state it came from. (A disabled button, which ignores every
// event, is run under a real X server in button_widget_test.)
const Sequence kSequences[] = {
    {"click on an unfocused hovered button", "init move focus down up",
     "HighLight/inv Pressed/inv Pressed/inv HighLightSelect/inv Click", ButtonState::FocusedHover},
    {"click on a focused button", "init focus move down up", "Selected HighLightSelect Pressed HighLightSelect Click",
     ButtonState::FocusedHover},
    {"drag off while held: no hover look until released, no click", "init move focus down leave move up move",
     "HighLight/inv Pressed/inv Pressed/inv Selected HighLightSelect", ButtonState::FocusedHover},
    {"right and middle buttons", "init move focus rdown rup mdown mup", "HighLight/inv Pressed/inv Click Click",
     ButtonState::FocusedHover},
    {"release in Hover", "init move down up", "HighLight/inv Pressed/inv Normal/inv Click", ButtonState::Hover},
    {"leave acts only in states 2 and 4", "init leave move leave focus leave move leave",
     "HighLight/inv Normal Selected HighLightSelect Selected", ButtonState::Focused},
    {"losing the focus", "init blur focus move blur", "Selected HighLightSelect Normal", ButtonState::Idle},
    {"never initialised: no hover look, no leave", "move leave", "", ButtonState::Inactive},
    {"never initialised: release clicks", "up focus move", "Click Selected HighLightSelect", ButtonState::FocusedHover},
};

} // namespace

TEST(ButtonRules, EventSequencesGiveTheirPaintsClicksAndFinalState) {
    for (const Sequence& row : kSequences) {
        RecordingFace face;
        ButtonRules rules(face);
        rules.SetEnabledField(true);
        rules.SetFirstRun(1);
        const std::map<QString, std::function<void()>> act{{"init", [&] { rules.Initialize(); }},
                                                           {"move", [&] { rules.MouseMove(); }},
                                                           {"leave", [&] { rules.PointerLeft(); }},
                                                           {"focus", [&] { rules.GotFocus(); }},
                                                           {"blur", [&] { rules.LostFocus(); }},
                                                           {"down", [&] { rules.MouseDown(MouseButton::Left); }},
                                                           {"up", [&] { rules.MouseUp(MouseButton::Left); }},
                                                           {"rdown", [&] { rules.MouseDown(MouseButton::Right); }},
                                                           {"rup", [&] { rules.MouseUp(MouseButton::Right); }},
                                                           {"mdown", [&] { rules.MouseDown(MouseButton::Middle); }},
                                                           {"mup", [&] { rules.MouseUp(MouseButton::Middle); }}};
        for (const QString& e : QString(row.events).split(' ')) act.at(e)();
        EXPECT_EQ(face.calls.join(' ').toStdString(), row.calls) << row.what;
        EXPECT_EQ(rules.State(), row.finalState) << row.what;
        EXPECT_FALSE(rules.ButtonHeld()) << row.what;
    }
}

TEST(Gradient, NormalRunsWhiteToLavenderAndInvertedTheReverse) {
    auto rgb = [](Colour16 c) { return (c.red >> 8) << 16 | (c.green >> 8) << 8 | c.blue >> 8; };
    for (bool inverted : {false, true}) {
        const GradientEnds ends = GradientColours(inverted);
        EXPECT_EQ(rgb(GradientRow(ends, 0, 25)), inverted ? 0xC6C5D7 : 0xFFFFFF);
        EXPECT_EQ(rgb(GradientRow(ends, 24, 25)), inverted ? 0xFFFFFF : 0xC6C5D7);
    }
}
