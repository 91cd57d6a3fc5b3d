#pragma once
// Which language the settings dialog speaks, chosen from the environment much as gettext
// chooses. The dialog's texts are written in Japanese; a translation is named by a
// language ("en") or a language and territory ("pt_BR").
#include <string>
#include <vector>

namespace quelm::dialog {

// The variables that choose the language; an empty one counts as not set.
struct LocaleEnvironment {
    std::string language;   // LANGUAGE: preferences separated by colons, tried in order
    std::string lcAll;      // LC_ALL
    std::string lcMessages; // LC_MESSAGES
    std::string lang;       // LANG
    static LocaleEnvironment FromProcess();
};

// The translation for every language that has none of its own.
inline constexpr const char* kFallbackTranslation = "en";

// The translation to use among `available`, or empty for the Japanese original. The
// messages locale is the first of LC_ALL, LC_MESSAGES and LANG that is set. When it is C or
// POSIX (C.UTF-8 too), or none is set, the original is used and LANGUAGE is ignored, as
// gettext ignores it. Otherwise each entry of LANGUAGE and then the locale itself is tried:
// C, POSIX or Japanese ("ja", "ja_JP.UTF-8") gives the original; an entry with a translation
// for its language and territory, or else for its language, gives that translation; any
// other entry passes to the next. When no entry decides, the fallback translation (when
// available).
std::string ChooseTranslation(const LocaleEnvironment& env, const std::vector<std::string>& available);

} // namespace quelm::dialog
