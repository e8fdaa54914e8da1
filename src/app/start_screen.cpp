#include "app/start_screen.h"

#include "ui/pill_button.h"
#include "ui/theme.h"

#include <QLabel>
#include <QVBoxLayout>

namespace vorlane {

StartScreen::StartScreen(QWidget *parent)
    : QWidget(parent)
{
    auto *layout = new QVBoxLayout(this);
    layout->setSpacing(20);
    layout->addStretch(1);

    auto *symbol = new QLabel(QString::fromLatin1(Theme::Icon::photoLibrary));
    symbol->setTextFormat(Qt::PlainText);
    symbol->setFont(Theme::iconFont(84));
    Theme::setTextColor(symbol, Theme::accent());
    auto *title = new QLabel(tr("Vorlane photo culling"));
    title->setTextFormat(Qt::PlainText);
    title->setFont(Theme::uiFont(28, QFont::DemiBold));
    auto *subtitle = new QLabel(tr("Choose a folder of photos and videos to start culling"));
    subtitle->setTextFormat(Qt::PlainText);
    subtitle->setFont(Theme::uiFont(15));
    subtitle->setForegroundRole(QPalette::PlaceholderText);

    m_button = new PillButton;
    m_button->setText(tr("Choose a folder"));
    m_button->setSymbol(QString::fromLatin1(Theme::Icon::createFolder), 18);
    m_button->setFont(Theme::uiFont(13, QFont::DemiBold));
    m_button->setPadding(22, 10);
    connect(m_button, &PillButton::clicked, this, &StartScreen::pickRequested);

    auto *caption = new QLabel(tr("Small copies are made in a _bside folder beside each folder of originals"));
    caption->setTextFormat(Qt::PlainText);
    caption->setFont(Theme::uiFont(10));
    caption->setForegroundRole(QPalette::PlaceholderText);

    for (QWidget *w : {static_cast<QWidget *>(symbol), static_cast<QWidget *>(title), static_cast<QWidget *>(subtitle),
                       static_cast<QWidget *>(m_button), static_cast<QWidget *>(caption)})
        layout->addWidget(w, 0, Qt::AlignHCenter);
    layout->addStretch(1);
}

} // namespace vorlane
