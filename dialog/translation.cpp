#include "dialog/translation.h"

#include "dialog/language.h"

#include <QCoreApplication>
#include <QDir>
#include <QPointer>
#include <QTranslator>

namespace quelm::dialog {

namespace {
const QString kFolder = QStringLiteral(":/i18n");
const QString kPrefix = QStringLiteral("quelm_");
const QString kSuffix = QStringLiteral(".qm");
} // namespace

std::vector<std::string> AvailableTranslations() {
    std::vector<std::string> names;
    for (const QString& file : QDir(kFolder).entryList({kPrefix + QLatin1Char('*') + kSuffix}, QDir::Files))
        names.push_back(file.mid(kPrefix.size(), file.size() - kPrefix.size() - kSuffix.size()).toStdString());
    return names;
}

QString InstallTranslation() {
    static QPointer<QTranslator> installed;
    delete installed; // removes itself from the application
    const QString name =
        QString::fromStdString(ChooseTranslation(LocaleEnvironment::FromProcess(), AvailableTranslations()));
    if (name.isEmpty()) return {};
    auto* translator = new QTranslator(QCoreApplication::instance());
    if (!translator->load(kPrefix + name, kFolder) || !QCoreApplication::installTranslator(translator)) {
        delete translator;
        return {};
    }
    installed = translator;
    return name;
}

QString Translated(const QString& source) {
    return QCoreApplication::translate(kTranslationContext, source.toUtf8().constData());
}

} // namespace quelm::dialog
