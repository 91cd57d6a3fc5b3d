#pragma once
// The settings dialog's texts in the user's language. The texts are written in Japanese,
// marked with QT_TRANSLATE_NOOP in the context "Quib_P"; each translation
// (translations/quelm_<name>.ts) is compiled into the program as the resource
// ":/i18n/quelm_<name>.qm".
#include <QString>
#include <string>
#include <vector>

namespace quelm::dialog {

inline constexpr char kTranslationContext[] = "Quib_P";

// The names of the translations the program carries ("en", ...).
std::vector<std::string> AvailableTranslations();

// Installs on the application the translation ChooseTranslation picks from the process's
// environment, in place of one installed before; returns its name, empty for the Japanese
// original. Call after the application is made.
QString InstallTranslation();

// A dialog text in the installed language: the text itself where no translation has it.
QString Translated(const QString& source);

} // namespace quelm::dialog
