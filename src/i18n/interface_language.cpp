#include "i18n/interface_language.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace vorlane::InterfaceLanguage {

Language choose(const QStringList &uiLanguages)
{
    for (const QString &language : uiLanguages) {
        const QString code = language.section(u'-', 0, 0).section(u'_', 0, 0).toLower();
        if (code == u"zh")
            return Language::Chinese;
        if (code == u"en")
            return Language::English;
    }
    return Language::Chinese;
}

void install(Language language)
{
    // The translators live as long as the process; installing again first takes the old ones out.
    static QTranslator *own = nullptr;
    static QTranslator *qt = nullptr;
    for (QTranslator **translator : {&own, &qt}) {
        if (*translator) {
            QCoreApplication::removeTranslator(*translator);
            delete *translator;
            *translator = nullptr;
        }
    }
    own = new QTranslator;
    const bool english = language == Language::English;
    if (own->load(english ? QStringLiteral(":/i18n/vorlane_en.qm") : QStringLiteral(":/i18n/vorlane_zh_CN.qm")))
        QCoreApplication::installTranslator(own);
    if (english)
        return; // Qt's own texts are English already
    qt = new QTranslator;
    if (qt->load(QLocale(QLocale::Chinese, QLocale::China), QStringLiteral("qtbase"), QStringLiteral("_"),
                 QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(qt);
}

Language installForSystem()
{
    const Language language = choose(QLocale::system().uiLanguages());
    install(language);
    return language;
}

} // namespace vorlane::InterfaceLanguage
