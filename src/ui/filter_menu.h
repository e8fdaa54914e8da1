#pragma once

class QMenu;

namespace vorlane {

class AppModel;

// The decision filters as a menu, filled each time it opens from what the folder holds: at least N stars, a
// colour label, a camera, a lens, and clearing them all. The View menu and the top bar's filter button show
// the same one. Main thread.
namespace FilterMenu {

void attach(QMenu *menu, AppModel &model);

} // namespace FilterMenu
} // namespace vorlane
