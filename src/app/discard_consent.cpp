#include "app/discard_consent.h"

#include "catalogue/media_item.h"

#include <QCoreApplication>
#include <QPushButton>

namespace vorlane::DiscardConsent {
namespace {

QString tr(const char *source, const char *disambiguation = nullptr, int n = -1)
{
    return QCoreApplication::translate("vorlane::DiscardConsent", source, disambiguation, n);
}

constexpr int kListed = 12;

} // namespace

QMessageBox *dialog(const QList<DiscardRun::Broken> &broken, int withCopies, QWidget *parent)
{
    auto *box = new QMessageBox(parent);
    box->setIcon(QMessageBox::Warning);
    box->setWindowTitle(tr("Discard originals without a copy?"));
    box->setTextFormat(Qt::PlainText);
    box->setText(tr("%n marked cell(s) cannot be decoded, so no copy of them could be made:", nullptr, int(broken.size())));
    QStringList lines;
    for (qsizetype i = 0; i < broken.size() && i < kListed; ++i) {
        QStringList names;
        for (const auto &file : broken[i].originals)
            names.append(displayPath(file.filename()));
        lines.append(tr("%1 — %2").arg(names.join(QStringLiteral(" + ")), broken[i].reason));
    }
    if (broken.size() > kListed)
        lines.append(tr("and %n more", nullptr, int(broken.size() - kListed)));
    lines.append(QString());
    lines.append(tr("A newer decoder might still read them. Moved to the Trash, they come back with Ctrl+Z, as "
                    "any discard does."));
    box->setInformativeText(lines.join(u'\n'));
    QPushButton *also = box->addButton(tr("Move Them to the &Trash Too"), QMessageBox::DestructiveRole);
    also->setProperty("consent", int(AppModel::Consent::AlsoBroken));
    if (withCopies > 0) {
        QPushButton *only = box->addButton(tr("&Only the %n With Copies", nullptr, withCopies), QMessageBox::AcceptRole);
        only->setProperty("consent", int(AppModel::Consent::OnlyCopied));
        box->setDefaultButton(only);
    }
    QPushButton *cancel = box->addButton(QMessageBox::Cancel);
    cancel->setProperty("consent", int(AppModel::Consent::Cancel));
    if (withCopies == 0)
        box->setDefaultButton(cancel);
    box->setEscapeButton(cancel);
    return box;
}

AppModel::Consent ask(const QList<DiscardRun::Broken> &broken, int withCopies, QWidget *parent)
{
    QMessageBox *box = dialog(broken, withCopies, parent);
    box->exec();
    const QAbstractButton *clicked = box->clickedButton();
    const auto answer = clicked ? AppModel::Consent(clicked->property("consent").toInt()) : AppModel::Consent::Cancel;
    delete box;
    return answer;
}

} // namespace vorlane::DiscardConsent
