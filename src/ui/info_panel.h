#pragma once

#include "catalogue/media_pair.h"
#include "core/background_jobs.h"

#include <QLabel>
#include <QList>
#include <QPair>
#include <QUuid>

namespace vorlane {

// The shooting information of one cell on a dark rounded card: date, camera, lens, exposure, size, file;
// for a clip its length, frame rate and codec. Fields the file does not carry are left out. The headers are
// read on a thread of the panel's own; a reading for a cell the panel has moved on from is dropped.
// Main thread.
class InfoPanel final : public QLabel
{
    Q_OBJECT

public:
    explicit InfoPanel(QWidget *parent = nullptr);

    // Reads the cell's information (unless it is the cell shown already) and shows it when read.
    void showFor(const MediaPair &pair);
    const QUuid &cell() const { return m_cell; }
    // The rows shown now: label and value.
    const QList<QPair<QString, QString>> &rows() const { return m_rows; }

Q_SIGNALS:
    void shown(); // a cell's rows arrived and are shown

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void showRows(const QUuid &cell, QList<QPair<QString, QString>> rows);

    QUuid m_cell;
    QList<QPair<QString, QString>> m_rows;
    BackgroundJobs m_jobs; // last: joined before the members its readings are handed to
};

} // namespace vorlane
