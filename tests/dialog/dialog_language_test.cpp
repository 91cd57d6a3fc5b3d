// Which translation the dialog takes from LANGUAGE, LC_ALL, LC_MESSAGES and LANG.
#include "dialog/language.h"

#include <gtest/gtest.h>

namespace quelm::dialog {
namespace {

TEST(ChooseTranslation, JapaneseAndCGiveTheOriginalTheLocaleOrderThenLanguageListElseEnglish) {
    const std::vector<std::string> english{"en"}, more{"en", "pt_BR", "de"}, none;
    const struct {
        LocaleEnvironment env; // LANGUAGE, LC_ALL, LC_MESSAGES, LANG
        const std::vector<std::string>& available;
        const char* chosen; // "" is the Japanese original
    } rows[] = {
        {{"", "", "", ""}, english, ""}, // nothing set: C
        {{"", "", "", "POSIX"}, english, ""},
        {{"en", "", "", "C.UTF-8"}, english, ""}, // LANGUAGE is ignored under C
        {{"", "", "", "ja_JP.UTF-8"}, english, ""},
        {{"", "", "", "en_US.UTF-8"}, english, "en"},
        {{"", "", "", "de_DE.UTF-8@euro"}, english, "en"}, // no translation of its own
        {{"", "", "", "jam_JM"}, english, "en"},           // not Japanese
        {{"", "", "ja_JP.UTF-8", "en_US.UTF-8"}, english, ""},
        {{"", "C", "de_DE", "en_US.UTF-8"}, english, ""},
        {{"", "en_GB.UTF-8", "ja_JP.UTF-8", "C"}, english, "en"},
        {{"fr:ja", "", "", "de_DE.UTF-8"}, english, ""}, // tried in order
        {{"fr::en_GB:ja", "", "", "ja_JP.UTF-8"}, english, "en"},
        {{"fr:C", "", "", "en_US.UTF-8"}, english, ""},
        {{"fr:es", "", "", "ja_JP.UTF-8"}, english, ""}, // the locale after the list
        {{"pt_PT:de", "", "", "en_US.UTF-8"}, more, "de"},
        {{"", "", "", "pt_BR.UTF-8"}, more, "pt_BR"},
        {{"", "", "", "de_AT"}, more, "de"},
        {{"", "", "", "en_US.UTF-8"}, none, ""}, // a program carrying no translation
    };
    for (const auto& r : rows) {
        EXPECT_EQ(ChooseTranslation(r.env, r.available), r.chosen)
            << r.env.language << '|' << r.env.lcAll << '|' << r.env.lcMessages << '|' << r.env.lang;
    }
}

} // namespace
} // namespace quelm::dialog
