#pragma once

#include <QCoreApplication>
#include <QString>

#include <string>
#include <vector>

namespace vorlane {

// A sentence for the user that travels as data (inside an error, across threads) and is put into words only
// where it is shown: its English source, marked with QT_TRANSLATE_NOOP("vorlane::Phrase", ...) so that lupdate
// sees it, and the values of its %1, %2, each a phrase of its own or text used as it is (a file name, a
// number, a library's own message). english() is what logs and the command line print; text() is in the
// interface's language. Any thread.
class Phrase
{
public:
    static constexpr const char *kContext = "vorlane::Phrase";

    Phrase() = default;
    explicit Phrase(const char *source, std::vector<Phrase> args = {})
        : m_source(source)
        , m_args(std::move(args))
    {
    }
    static Phrase verbatim(QString text)
    {
        Phrase p;
        p.m_verbatim = std::move(text);
        return p;
    }
    static Phrase verbatim(const std::string &text) { return verbatim(QString::fromStdString(text)); }

    bool isEmpty() const { return !m_source && m_verbatim.isEmpty(); }
    QString english() const { return fill(QString::fromUtf8(m_source ? m_source : ""), false); }
    QString text() const
    {
        return fill(m_source ? QCoreApplication::translate(kContext, m_source) : QString(), true);
    }
    std::string englishUtf8() const { return english().toStdString(); }

private:
    // One pass over the pattern: each %N (N = 1..99, one or two digits) becomes argument N, and the text an
    // argument brings is never scanned again, so a file named "bad%2name.jpg" stays as it is. A %N with no
    // argument, and any other %, are kept.
    QString fill(const QString &pattern, bool translated) const
    {
        if (!m_source)
            return m_verbatim;
        const auto digit = [&](qsizetype i) {
            return i < pattern.size() && pattern[i] >= u'0' && pattern[i] <= u'9' ? pattern[i].unicode() - u'0' : -1;
        };
        QString out;
        out.reserve(pattern.size());
        for (qsizetype i = 0; i < pattern.size(); ++i) {
            int number = pattern[i] == u'%' ? digit(i + 1) : -1;
            qsizetype length = 2;
            if (number >= 0 && digit(i + 2) >= 0) {
                number = number * 10 + digit(i + 2);
                length = 3;
            }
            if (number < 1 || size_t(number) > m_args.size()) {
                out += pattern[i];
                continue;
            }
            const Phrase &arg = m_args[size_t(number - 1)];
            out += translated ? arg.text() : arg.english();
            i += length - 1;
        }
        return out;
    }

    const char *m_source = nullptr;
    QString m_verbatim;
    std::vector<Phrase> m_args;
};

} // namespace vorlane
