#include "testsupport/model_support.h"

using namespace vorlane;
using namespace vorlane::test;
using namespace Qt::StringLiterals;
using FolderView = ViewSettings::FolderView;

namespace {

// A folder, then a.jpg … f.jpg; copies are made at once.
class Views : public ModelTest
{
protected:
    void SetUp() override
    {
        t.dir("sub");
        for (const char *name : {"a.jpg", "b.jpg", "c.jpg", "d.jpg", "e.jpg", "f.jpg"})
            t.file(name, name);
        encoder.open();
        ASSERT_TRUE(openAndWait(m, t.root()));
    }
    std::string selected() const { return nameOf(m, m.cursor().selectedPairId()); }
    std::string previewed() const { return nameOf(m, m.cursor().previewedPairId()); }
    void mark(std::initializer_list<const char *> names)
    {
        for (const char *name : names)
            m.marks().toggle(id(name));
    }
    void select(const char *name) { m.cursor().selectByClick(GridSelection::media(id(name))); }
};

// Each view shows its cells after the folders; D in the unmarked view marks the cell and the cursor stays on
// the next one, in the grid and in the preview; D in the marked view unmarks, and the next cell takes the
// place. The marks are the same in every view.
TEST_F(Views, APassKeepsTheUsersPlace)
{
    mark({"b.jpg", "d.jpg"});
    m.settings().setFolderView(FolderView::Unmarked);
    EXPECT_EQ(shownNames(m), "a.jpg c.jpg e.jpg f.jpg");
    EXPECT_EQ(m.cursor().items().first().kind, GridSelection::Kind::Folder) << "folders stay in every view";

    select("c.jpg");
    m.markCurrentAndAdvance(false);
    EXPECT_EQ(shownNames(m), "a.jpg e.jpg f.jpg");
    EXPECT_EQ(selected(), "e.jpg");

    m.cursor().openPreview();
    m.markCurrentAndAdvance(true);
    EXPECT_EQ(previewed(), "f.jpg") << "the next unmarked, not one further";
    EXPECT_EQ(selected(), "f.jpg");
    EXPECT_EQ(m.shownPairs().size(), 2);
    m.markCurrentAndAdvance(true); // the last one: the walk wraps to the first
    EXPECT_EQ(previewed(), "a.jpg");
    m.cursor().closePreview();

    m.settings().setFolderView(FolderView::Marked);
    EXPECT_EQ(shownNames(m), "b.jpg c.jpg d.jpg e.jpg f.jpg");
    select("d.jpg");
    m.markCurrentAndAdvance(false);
    EXPECT_EQ(selected(), "e.jpg");
    select("f.jpg");
    m.markCurrentAndAdvance(false);
    EXPECT_EQ(selected(), "e.jpg") << "the last one gone: the one before";
    EXPECT_EQ(m.marks().marked().size(), 3);

    m.settings().setFolderView(FolderView::All);
    EXPECT_EQ(m.shownPairs().size(), 6);
    EXPECT_EQ(m.marks().marked(), (QSet<QUuid>{id("b.jpg"), id("c.jpg"), id("e.jpg")}));
}

// N and Shift+N walk to the next and the previous unmarked cell, wrapping, in the grid and the preview; with
// every cell marked they stay and say so.
TEST_F(Views, NextUnmarked)
{
    mark({"b.jpg", "c.jpg", "e.jpg"});
    select("a.jpg");
    const std::vector<std::pair<int, const char *>> walk{{1, "d.jpg"}, {1, "f.jpg"}, {1, "a.jpg"}, {-1, "f.jpg"}, {-1, "d.jpg"}};
    for (const auto &[by, to] : walk) {
        m.moveToUnmarked(by);
        EXPECT_EQ(selected(), to) << by;
    }
    m.cursor().openPreview();
    m.moveToUnmarked(-1);
    EXPECT_EQ(previewed(), "a.jpg");
    m.cursor().closePreview();
    m.cursor().selectByClick(m.cursor().items().first()); // the folder: the walk starts at the first cell
    m.moveToUnmarked(1);
    EXPECT_EQ(selected(), "a.jpg");

    mark({"a.jpg", "d.jpg", "f.jpg"});
    QStringList notices;
    QObject::connect(&m, &AppModel::notice, &m, [&](const QString &text) { notices.append(text); });
    m.moveToUnmarked(1);
    EXPECT_EQ(selected(), "a.jpg");
    EXPECT_EQ(notices, QStringList{u"Every cell here is marked"_s});
}

// The compare view's candidate moves past the reference, wrapping, and follows its cells: one that leaves
// the view gives way to the one after it, and with fewer than two cells left there is nothing to compare.
TEST_F(Views, TheCompareFollowsItsCells)
{
    mark({"b.jpg", "c.jpg", "d.jpg"});
    m.settings().setFolderView(FolderView::Marked);
    select("b.jpg");
    m.cursor().openCompare();
    ASSERT_TRUE(m.cursor().isComparing());
    m.cursor().compareMove(-1);
    EXPECT_EQ(m.cursor().compareCandidate(), id("d.jpg")) << "past the reference, wrapping round";
    m.cursor().compareMove(1);
    EXPECT_EQ(m.cursor().compareCandidate(), id("c.jpg"));
    m.marks().toggle(id("c.jpg")); // unmarked from the grid's menu: it leaves the view
    EXPECT_EQ(m.cursor().compareCandidate(), id("d.jpg"));
    m.marks().toggle(id("d.jpg")); // two are too few to compare
    EXPECT_FALSE(m.cursor().isComparing());
}

} // namespace
