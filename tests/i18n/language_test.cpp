// The interface's language: chosen from the locale, Chinese by default; the catalogue complete; the
// sources in English.
#include "i18n/interface_language.h"
#include "core/phrase.h"

#include <QCoreApplication>
#include <QDirIterator>
#include <QFile>
#include <QRegularExpression>

#include <gtest/gtest.h>

using namespace vorlane;
using namespace Qt::StringLiterals;
using Language = InterfaceLanguage::Language;

namespace {

TEST(InterfaceLanguage, FollowsTheLocaleWhereVorlaneShipsItElseChinese)
{
    const std::vector<std::pair<QStringList, Language>> rows{
        {{u"zh-CN"_s}, Language::Chinese},          {{u"zh-Hant-TW"_s}, Language::Chinese},
        {{u"en-US"_s, u"en"_s}, Language::English}, {{u"de-DE"_s, u"en-GB"_s}, Language::English},
        {{u"fr-FR"_s}, Language::Chinese},          {{u"C"_s}, Language::Chinese},
        {{}, Language::Chinese},
    };
    for (const auto &[uiLanguages, expected] : rows)
        EXPECT_EQ(InterfaceLanguage::choose(uiLanguages), expected) << uiLanguages.join(u',').toStdString();
}

// A phrase's places are filled in one pass, in English and in Chinese alike: what an argument brings (a file
// named "bad%2name.jpg", a library's message holding "%1") is never read as a place, arguments nest, and a
// place with no argument stays as it is. Qt's own texts (its dialogs' buttons) follow the language too.
TEST(InterfaceLanguage, PhrasesFillEachPlaceOnceWhateverTheArgumentsHold)
{
    const auto verbatim = [](const QString &text) { return Phrase::verbatim(text); };
    const char *cannotDecode = QT_TRANSLATE_NOOP("vorlane::Phrase", "cannot decode \"%1\": %2");
    const char *either = QT_TRANSLATE_NOOP("vorlane::Phrase", "%1; cannot decode \"%2\" either: %3");
    const char *tooLarge
        = QT_TRANSLATE_NOOP("vorlane::Phrase", "the picture \"%1\" is too large to copy (%2 x %3 pixels)");
    // the phrase, in English, in Chinese
    const std::vector<std::tuple<Phrase, QString, QString>> rows{
        {Phrase(cannotDecode, {verbatim(u"bad%2name.jpg"_s), verbatim(u"Premature end of input file"_s)}),
         u"cannot decode \"bad%2name.jpg\": Premature end of input file"_s,
         u"无法解码“bad%2name.jpg”：Premature end of input file"_s},
        {Phrase(cannotDecode, {verbatim(u"%1%2%%.jpg"_s), verbatim(u"at 100%: %1"_s)}),
         u"cannot decode \"%1%2%%.jpg\": at 100%: %1"_s, u"无法解码“%1%2%%.jpg”：at 100%: %1"_s},
        {Phrase(either,
                {Phrase(cannotDecode, {verbatim(u"IMG_%3.JPG"_s), verbatim(u"%2"_s)}), verbatim(u"IMG_%1.CR2"_s),
                 verbatim(u"%3"_s)}),
         u"cannot decode \"IMG_%3.JPG\": %2; cannot decode \"IMG_%1.CR2\" either: %3"_s,
         u"无法解码“IMG_%3.JPG”：%2；“IMG_%1.CR2”也无法解码：%3"_s},
        {Phrase(cannotDecode, {verbatim(u"IMG_1.JPG"_s)}), u"cannot decode \"IMG_1.JPG\": %2"_s,
         u"无法解码“IMG_1.JPG”：%2"_s},
        {Phrase(tooLarge, {verbatim(u"%2.jpg"_s), verbatim(u"21000"_s), verbatim(u"20100"_s)}),
         u"the picture \"%2.jpg\" is too large to copy (21000 x 20100 pixels)"_s,
         u"图片“%2.jpg”太大，无法制作副本（21000 × 20100 像素）"_s},
    };
    for (const auto &[phrase, english, chinese] : rows) {
        InterfaceLanguage::install(Language::Chinese);
        EXPECT_EQ(phrase.text().toStdString(), chinese.toStdString());
        EXPECT_EQ(phrase.english().toStdString(), english.toStdString()) << "in Chinese too";
        InterfaceLanguage::install(Language::English);
        EXPECT_EQ(phrase.text().toStdString(), english.toStdString());
    }
    InterfaceLanguage::install(Language::Chinese);
    EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel"), u"取消"_s);
    InterfaceLanguage::install(Language::English);
    EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel"), u"Cancel"_s);
}

// Every message of the catalogue is translated, the English catalogue has the plural forms of every message
// that has them, and no source line of the program holds Chinese (the source strings are English: a Chinese
// one would never reach an English desktop, and a comment quoting the interface quotes its source text).
TEST(InterfaceLanguage, TheCatalogueIsCompleteAndTheSourcesAreEnglish)
{
    QFile ts(QStringLiteral(VORLANE_SOURCE_DIR "/translations/vorlane_zh_CN.ts"));
    ASSERT_TRUE(ts.open(QIODevice::ReadOnly));
    const QString catalogue = QString::fromUtf8(ts.readAll());
    EXPECT_FALSE(catalogue.contains(u"type=\"unfinished\""_s));
    EXPECT_FALSE(catalogue.contains(u"type=\"vanished\""_s) || catalogue.contains(u"type=\"obsolete\""_s));
    EXPECT_GT(catalogue.count(u"<message"_s), 100);

    const auto pluralSources = [](const QString &path) {
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
        QStringList sources;
        const QRegularExpression numerus(u"<message numerus=\"yes\">\\s*<source>([^<]*)</source>"_s);
        for (const auto &match : numerus.globalMatch(QString::fromUtf8(file.readAll())))
            sources << match.captured(1);
        sources.sort();
        return sources;
    };
    EXPECT_EQ(pluralSources(QStringLiteral(VORLANE_SOURCE_DIR "/translations/vorlane_en.ts")),
              pluralSources(ts.fileName()));

    const QRegularExpression chinese(u"[\\x{4e00}-\\x{9fff}\\x{3000}-\\x{303f}\\x{ff00}-\\x{ffef}]"_s);
    QDirIterator files(QStringLiteral(VORLANE_SOURCE_DIR "/src"), {u"*.cpp"_s, u"*.h"_s}, QDir::Files,
                       QDirIterator::Subdirectories);
    while (files.hasNext()) {
        QFile file(files.next());
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        int number = 0;
        for (const QByteArray &line : file.readAll().split('\n')) {
            ++number;
            const QString text = QString::fromUtf8(line).trimmed();
            EXPECT_FALSE(chinese.match(text).hasMatch()) << file.fileName().toStdString() << ":" << number;
        }
    }
}

} // namespace
