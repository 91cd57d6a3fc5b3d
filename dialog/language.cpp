#include "dialog/language.h"

#include <algorithm>
#include <cstdlib>
#include <optional>
#include <string_view>

namespace quelm::dialog {

namespace {
const char* const kOriginalLanguage = "ja";

std::string Variable(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

// "C", "POSIX" and "C.<codeset>" name the untranslated messages.
bool IsPlainLocale(std::string_view name) { return name == "C" || name == "POSIX" || name.starts_with("C."); }

// The decision one entry makes: the original (empty), a translation, or none.
std::optional<std::string> Decide(std::string_view entry, const std::vector<std::string>& available) {
    if (entry.empty()) return std::nullopt;
    if (IsPlainLocale(entry)) return std::string();
    // language[_territory][.codeset][@modifier]
    const std::string_view base = entry.substr(0, entry.find_first_of(".@"));
    const std::string_view language = base.substr(0, base.find('_'));
    if (language == kOriginalLanguage) return std::string();
    for (const std::string_view name : {base, language})
        if (std::find(available.begin(), available.end(), name) != available.end()) return std::string(name);
    return std::nullopt;
}
} // namespace

LocaleEnvironment LocaleEnvironment::FromProcess() {
    return {Variable("LANGUAGE"), Variable("LC_ALL"), Variable("LC_MESSAGES"), Variable("LANG")};
}

std::string ChooseTranslation(const LocaleEnvironment& env, const std::vector<std::string>& available) {
    const std::string& locale = !env.lcAll.empty() ? env.lcAll : !env.lcMessages.empty() ? env.lcMessages : env.lang;
    if (locale.empty() || IsPlainLocale(locale)) return {};
    std::string_view preferences = env.language;
    while (!preferences.empty()) {
        const std::size_t colon = preferences.find(':');
        if (auto decided = Decide(preferences.substr(0, colon), available)) return *decided;
        preferences = colon == std::string_view::npos ? std::string_view() : preferences.substr(colon + 1);
    }
    if (auto decided = Decide(locale, available)) return *decided;
    const bool hasFallback = std::find(available.begin(), available.end(), kFallbackTranslation) != available.end();
    return hasFallback ? kFallbackTranslation : std::string();
}

} // namespace quelm::dialog
