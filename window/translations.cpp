#include "window/translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

bool loadQtTranslations(QCoreApplication& app) {
    const QLocale locale;
    const QStringList languages = locale.uiLanguages();
    if (languages.isEmpty()) return false;
    const QLocale::Language first = QLocale(languages.first()).language();
    if (first == QLocale::C || first == QLocale::English) return false;
    auto* translator = new QTranslator(&app);
    if (!translator->load(locale, QStringLiteral("qtbase"), QStringLiteral("_"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return false;
    }
    return QCoreApplication::installTranslator(translator);
}
