#pragma once

#include <QStringList>

namespace vorlane::InterfaceLanguage {

enum class Language { Chinese, English };

// The interface's language for the locale's interface languages, most wanted first (QLocale::uiLanguages(),
// which follows LANGUAGE, LC_ALL, LC_MESSAGES and LANG): the first one Vorlane ships, zh_* Chinese and en_*
// English; Chinese when none is, the C/POSIX locale included.
Language choose(const QStringList &uiLanguages);

// Installs on the running application the catalogues of a language: Vorlane's own (compiled into the
// program) and Qt's (its dialogs and buttons). The source strings are English, so English needs neither.
// Main thread, once an application object exists; a later call replaces the earlier language.
void install(Language language);

// choose() for the system's locale, then install(); returns the language chosen.
Language installForSystem();

} // namespace vorlane::InterfaceLanguage
