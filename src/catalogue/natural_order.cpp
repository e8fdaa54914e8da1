#include "catalogue/natural_order.h"

#include <QCollator>
#include <QLocale>

namespace vorlane {
namespace {

QCollator &threadCollator()
{
    thread_local QCollator collator = [] {
        // The C locale collates byte-wise in Qt, which would drop numeric ordering: use English rules then.
        QLocale locale = QLocale::system();
        if (locale.language() == QLocale::C)
            locale = QLocale(QLocale::English, QLocale::UnitedStates);
        QCollator c(locale);
        c.setNumericMode(true);
        c.setCaseSensitivity(Qt::CaseInsensitive);
        c.setIgnorePunctuation(false);
        return c;
    }();
    return collator;
}

} // namespace

NaturalKey::NaturalKey(const std::string &bytes)
    : m_key(threadCollator().sortKey(QString::fromUtf8(bytes.data(), qsizetype(bytes.size()))))
    , m_bytes(bytes)
{
}

int NaturalKey::compare(const NaturalKey &other) const
{
    const int c = m_key.compare(other.m_key);
    if (c != 0)
        return c < 0 ? -1 : 1;
    return m_bytes.compare(other.m_bytes) < 0 ? -1 : (m_bytes == other.m_bytes ? 0 : 1);
}

int naturalCompare(const std::string &a, const std::string &b) { return NaturalKey(a).compare(NaturalKey(b)); }

} // namespace vorlane
