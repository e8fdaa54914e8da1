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
    auto *title = new QLabel(tr("Vorlane 照片筛选"));
    title->setTextFormat(Qt::PlainText);
    title->setFont(Theme::uiFont(28, QFont::DemiBold));
    auto *subtitle = new QLabel(tr("选择一个照片/视频目录开始筛选"));
    subtitle->setTextFormat(Qt::PlainText);
    subtitle->setFont(Theme::uiFont(15));
    subtitle->setForegroundRole(QPalette::PlaceholderText);

    m_button = new PillButton;
    m_button->setText(tr("选择目录"));
    m_button->setSymbol(QString::fromLatin1(Theme::Icon::createFolder), 18);
    m_button->setFont(Theme::uiFont(13, QFont::DemiBold));
    m_button->setPadding(22, 10);
    connect(m_button, &PillButton::clicked, this, &StartScreen::pickRequested);

    auto *caption = new QLabel(tr("压缩副本将生成在各原片所在目录的 _bside 子文件夹中"));
    caption->setTextFormat(Qt::PlainText);
    caption->setFont(Theme::uiFont(10));
    caption->setForegroundRole(QPalette::PlaceholderText);

    for (QWidget *w : {static_cast<QWidget *>(symbol), static_cast<QWidget *>(title), static_cast<QWidget *>(subtitle),
                       static_cast<QWidget *>(m_button), static_cast<QWidget *>(caption)})
        layout->addWidget(w, 0, Qt::AlignHCenter);
    layout->addStretch(1);
}

} // namespace vorlane
