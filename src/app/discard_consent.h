#pragma once

#include "model/app_model.h"

#include <QDialog>

namespace vorlane::DiscardConsent {

// The question asked before broken originals are discarded without a copy: every cell, in a scrolling list of
// plain text (a file name is never markup), each with the reason its copy failed; the note that a newer
// decoder might read them, and Ctrl+Z. Its buttons answer with a Consent (the "consent" property of the
// button clicked): move them too, only the cells with copies (offered when there are some), or nothing.
// Main thread.
QDialog *dialog(const QList<DiscardRun::Broken> &broken, int withCopies, QWidget *parent);

// Asks with that dialog, modal, and returns the answer (Cancel when it is closed).
AppModel::Consent ask(const QList<DiscardRun::Broken> &broken, int withCopies, QWidget *parent);

} // namespace vorlane::DiscardConsent
