#pragma once

#include <QTimer>
#include <QWidget>


namespace vorlane {

// The short message at the bottom of the window after a discard: the summary on its first line, and on
// further lines what stayed behind and why. It dismisses itself 2.5 s after it appeared, or 6 s when it
// has reasons to read (a message that replaces another while it shows does not restart the wait).
// Main thread.
class Toast final : public QWidget
{
    Q_OBJECT

public:
    static constexpr int kShowMs = 2500;
    static constexpr int kShowWithReasonsMs = 6000;

    explicit Toast(QWidget *parent = nullptr);

    void showMessage(const QString &message);
    QString message() const { return m_message; }
    QSize sizeHint() const override;

Q_SIGNALS:
    void dismissed(); // the message went, by itself after its time

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void dismiss();

    QString m_message;
    QTimer m_timer;
};

} // namespace vorlane
