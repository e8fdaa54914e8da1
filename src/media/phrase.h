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
    QString fill(QString pattern, bool translated) const
    {
        if (!m_source)
            return m_verbatim;
        for (const Phrase &arg : m_args)
            pattern = pattern.arg(translated ? arg.text() : arg.english());
        return pattern;
    }

    const char *m_source = nullptr;
    QString m_verbatim;
    std::vector<Phrase> m_args;
};

} // namespace vorlane
