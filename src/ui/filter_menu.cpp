#include "ui/filter_menu.h"

#include "model/app_model.h"
#include "ui/cell_painter.h"

#include <QActionGroup>
#include <QCoreApplication>
#include <QMenu>

#include <set>

namespace vorlane::FilterMenu {
namespace {

QString tr(const char *text) { return QCoreApplication::translate("vorlane::FilterMenu", text); }

using Criteria = ViewFilter::Criteria;

// One exclusive choice: its items, the current one checked, each setting the criteria it names.
template<typename Value>
void addChoices(QMenu *menu, AppModel &model, const QList<std::pair<QString, Value>> &choices, Value Criteria::*field)
{
    auto *group = new QActionGroup(menu);
    for (const auto &[label, value] : choices) {
        QAction *action = menu->addAction(label);
        action->setCheckable(true);
        action->setChecked(model.filter().*field == value);
        group->addAction(action);
        QObject::connect(action, &QAction::triggered, menu, [&model, field, value = value] {
            Criteria criteria = model.filter();
            criteria.*field = value;
            model.setFilter(criteria);
        });
    }
}

void fill(QMenu *menu, AppModel &model)
{
    menu->clear();
    for (QMenu *sub : menu->findChildren<QMenu *>(Qt::FindDirectChildrenOnly))
        sub->deleteLater();
    QList<std::pair<QString, int>> stars{{tr("Any Rating"), 0}};
    for (int n = 1; n <= 5; ++n)
        stars.append({CellPainter::starsText(Decision{n, ColourLabel::None}), n});
    addChoices(menu->addMenu(tr("At Least")), model, stars, &Criteria::minStars);

    QList<std::pair<QString, std::optional<ColourLabel>>> labels{{tr("Any Label"), std::nullopt}};
    for (const auto &[label, name] : {std::pair{ColourLabel::Red, tr("Red")}, std::pair{ColourLabel::Yellow, tr("Yellow")},
                                      std::pair{ColourLabel::Green, tr("Green")}, std::pair{ColourLabel::Blue, tr("Blue")},
                                      std::pair{ColourLabel::Purple, tr("Purple")}, std::pair{ColourLabel::None, tr("No Label")}})
        labels.append({name, label});
    addChoices(menu->addMenu(tr("Colour Label")), model, labels, &Criteria::label);

    std::set<QString> cameras, lenses;
    for (const MediaPair &pair : model.listing().pairs()) {
        const StillFacts &facts = pair.picturedItem().facts;
        if (!facts.camera.isEmpty())
            cameras.insert(facts.camera);
        if (!facts.lens.isEmpty())
            lenses.insert(facts.lens);
    }
    for (const auto &[title, any, names, field] :
         {std::tuple{tr("Camera"), tr("Any Camera"), cameras, &Criteria::camera},
          std::tuple{tr("Lens"), tr("Any Lens"), lenses, &Criteria::lens}}) {
        QList<std::pair<QString, QString>> choices{{any, QString()}};
        for (const QString &name : names)
            choices.append({name, name});
        QMenu *sub = menu->addMenu(title);
        sub->setEnabled(!names.empty());
        addChoices(sub, model, choices, field);
    }
    menu->addSeparator();
    QAction *clear = menu->addAction(tr("Clear Filters"));
    clear->setEnabled(!model.filter().isEmpty());
    QObject::connect(clear, &QAction::triggered, menu, [&model] { model.setFilter({}); });
}

} // namespace

void attach(QMenu *menu, AppModel &model)
{
    fill(menu, model);
    QObject::connect(menu, &QMenu::aboutToShow, menu, [menu, &model] { fill(menu, model); });
}

} // namespace vorlane::FilterMenu
