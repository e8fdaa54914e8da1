#include "app/discard_consent.h"

#include "catalogue/media_item.h"

#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

namespace vorlane::DiscardConsent {
namespace {

QString tr(const char *source, const char *disambiguation = nullptr, int n = -1)
{
    return QCoreApplication::translate("vorlane::DiscardConsent", source, disambiguation, n);
}

QLabel *plainLabel(const QString &text, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    return label;
}

} // namespace

QDialog *dialog(const QList<DiscardRun::Broken> &broken, int withCopies, QWidget *parent)
{
    auto *box = new QDialog(parent);
    box->setWindowTitle(tr("Discard originals without a copy?"));
    auto *column = new QVBoxLayout(box);
    auto *top = new QHBoxLayout;
    auto *icon = new QLabel(box);
    icon->setPixmap(box->style()->standardIcon(QStyle::SP_MessageBoxWarning).pixmap(32, 32));
    icon->setAlignment(Qt::AlignTop);
    top->addWidget(icon);
    top->addWidget(plainLabel(tr("%n marked cell(s) cannot be decoded, so no copy of them could be made:", nullptr,
                                 int(broken.size())),
                              box),
                   1);
    column->addLayout(top);

    auto *list = new QListWidget(box);
    list->setObjectName(QStringLiteral("brokenCells"));
    list->setSelectionMode(QAbstractItemView::NoSelection);
    list->setWordWrap(true);
    for (const DiscardRun::Broken &cell : broken) {
        QStringList names;
        for (const auto &file : cell.originals)
            names.append(displayPath(file.filename()));
        list->addItem(tr("%1 — %2").arg(names.join(QStringLiteral(" + ")), cell.reason)); // items are plain text
    }
    list->setMinimumWidth(480);
    list->setMaximumHeight(list->sizeHintForRow(0) * int(std::min<qsizetype>(broken.size(), 10)) + 2 * list->frameWidth() + 4);
    column->addWidget(list, 1);
    column->addWidget(plainLabel(tr("A newer decoder might still read them. Moved to the Trash, they come back "
                                    "with Ctrl+Z, as any discard does."),
                                 box));

    auto *buttons = new QDialogButtonBox(box);
    const auto answerWith = [box](QPushButton *button, AppModel::Consent consent) {
        button->setProperty("consent", int(consent));
        QObject::connect(button, &QPushButton::clicked, box, [box, consent] { box->done(int(consent) + 1); });
    };
    QPushButton *also = buttons->addButton(tr("Move Them to the &Trash Too"), QDialogButtonBox::DestructiveRole);
    answerWith(also, AppModel::Consent::AlsoBroken);
    QPushButton *cancel = buttons->addButton(QDialogButtonBox::Cancel);
    answerWith(cancel, AppModel::Consent::Cancel);
    QPushButton *preferred = cancel;
    if (withCopies > 0) {
        QPushButton *only = buttons->addButton(tr("&Only the %n With Copies", nullptr, withCopies), QDialogButtonBox::AcceptRole);
        answerWith(only, AppModel::Consent::OnlyCopied);
        preferred = only;
    }
    also->setAutoDefault(false);
    preferred->setDefault(true);
    preferred->setFocus();
    column->addWidget(buttons);
    return box;
}

AppModel::Consent ask(const QList<DiscardRun::Broken> &broken, int withCopies, QWidget *parent)
{
    QDialog *box = dialog(broken, withCopies, parent);
    const int result = box->exec();
    delete box;
    // done(consent + 1) from a button; 0 (rejected: Escape, the window closed) is a cancel.
    return result > 0 ? AppModel::Consent(result - 1) : AppModel::Consent::Cancel;
}

} // namespace vorlane::DiscardConsent
