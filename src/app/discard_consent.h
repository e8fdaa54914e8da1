#pragma once

#include "model/app_model.h"

#include <QMessageBox>

namespace vorlane::DiscardConsent {

// The question asked before broken originals are discarded without a copy: each file with the reason its copy
// failed, the note that a newer decoder might read it, and Ctrl+Z. Its buttons answer with a Consent: move
// them too, only the cells with copies (offered when there are some), or nothing. Main thread.
QMessageBox *dialog(const QList<DiscardRun::Broken> &broken, int withCopies, QWidget *parent);

// Asks with that dialog, modal, and returns the answer (Cancel when it is closed).
AppModel::Consent ask(const QList<DiscardRun::Broken> &broken, int withCopies, QWidget *parent);

} // namespace vorlane::DiscardConsent
