#include "testsupport/model_support.h"

#include <QSignalSpy>

namespace fs = std::filesystem;
using namespace vorlane;
using namespace vorlane::test;
using namespace Qt::StringLiterals;

namespace {

// A RAW+JPEG pair and two photos; every cell gets its copy from the fake encoder.
class Ratings : public ModelTest
{
protected:
    void SetUp() override
    {
        freshTrash();
        for (const char *name : {"IMG_1.JPG", "IMG_1.CR2", "b.jpg", "c.jpg"})
            t.file(name, name);
        encoder.open();
    }
    bool list() { return openAndWait(m, t.root()); }
    bool shows(const char *cell, Decision expected)
    {
        return waitUntil([&] { return m.decisions().of(id(cell)) == expected; });
    }
    Decision onDisk(const char *sidecar) const
    {
        return Sidecars::read(t.root() / sidecar).decision.value_or(Decision{});
    }
    bool exists(const char *name) const { return fs::exists(fs::symlink_status(t.root() / name)); }
};

// 1-5 and 6-9 write every file's sidecar; the label key of the label set clears it; Ctrl+Z takes each press
// back, newest first, whatever it was.
TEST_F(Ratings, KeysWriteEveryFilesSidecarAndUndoTakesEachBack)
{
    ASSERT_TRUE(list());
    const QUuid pair = id("IMG_1.CR2+JPG");
    m.rateCurrent(4, false, pair);
    ASSERT_TRUE(shows("IMG_1.CR2+JPG", {4, ColourLabel::None}));
    EXPECT_EQ(onDisk("IMG_1.JPG.xmp"), (Decision{4, ColourLabel::None}));
    EXPECT_EQ(onDisk("IMG_1.CR2.xmp"), (Decision{4, ColourLabel::None}));
    EXPECT_FALSE(exists("IMG_1.xmp")) << "a STEM.xmp is updated, never made";
    // Two presses of one label key before the first is written: the second clears it all the same.
    m.labelCurrent(ColourLabel::Red, false, pair);
    m.labelCurrent(ColourLabel::Red, false, pair);
    ASSERT_TRUE(waitUntil([&] { return m.undoStack().size() == 3; }));
    ASSERT_TRUE(shows("IMG_1.CR2+JPG", {4, ColourLabel::None})) << "the label's own key clears it";
    EXPECT_EQ(m.undoable(), AppModel::Undoable::Rating);
    for (const Decision back : {Decision{4, ColourLabel::Red}, Decision{4, ColourLabel::None}, Decision{}}) {
        m.undo();
        EXPECT_TRUE(shows("IMG_1.CR2+JPG", back));
        EXPECT_EQ(onDisk("IMG_1.CR2.xmp"), back);
    }
    EXPECT_EQ(m.undoable(), AppModel::Undoable::Nothing);
    EXPECT_EQ(test::readFile(t.root() / "IMG_1.JPG"), "IMG_1.JPG") << "originals are never written";
}

// A rating the camera wrote into the photo shows, and 0 clears it: the sidecar then says so.
TEST_F(Ratings, ACamerasRatingShowsAndClears)
{
    ASSERT_TRUE(makeJpeg(t.root() / "e.jpg", 64, 48, {u"-XMP-xmp:Rating=2"_s}));
    ASSERT_TRUE(list());
    ASSERT_TRUE(shows("e.jpg", {2, ColourLabel::None}));
    m.rateCurrent(0, false, id("e.jpg"));
    ASSERT_TRUE(waitUntil([&] { return exists("e.jpg.xmp"); }));
    EXPECT_TRUE(shows("e.jpg", Decision{}));
    ASSERT_TRUE(list());
    EXPECT_TRUE(shows("e.jpg", Decision{})) << "listed again, the sidecar outranks the photo";
}

// A sidecar that does not parse makes the key refuse, naming it; the file is left as it is and the cell
// shows no rating. A sidecar written by someone else is read at the listing.
TEST_F(Ratings, ASidecarItCannotReadRefusesTheKey)
{
    t.file("b.jpg.xmp", "<x:xmpmeta broken");
    t.file("c.jpg.xmp", R"(<x:xmpmeta xmlns:x="adobe:ns:meta/"><rdf:RDF xmlns:rdf="http://www.w3.org/1999/02/22-rdf-syntax-ns#"><rdf:Description rdf:about="" xmlns:xmp="http://ns.adobe.com/xap/1.0/" xmp:Rating="2" xmp:Label="green"/></rdf:RDF></x:xmpmeta>)");
    ASSERT_TRUE(list());
    EXPECT_TRUE(shows("c.jpg", {2, ColourLabel::Green}));
    ASSERT_TRUE(waitUntil([&] { return !m.decisions().problemOf(id("b.jpg")).isEmpty(); }));
    QSignalSpy notices(&m, &AppModel::notice);
    m.rateCurrent(5, false, id("b.jpg"));
    ASSERT_EQ(notices.size(), 1);
    EXPECT_TRUE(notices[0][0].toString().contains(u"b.jpg.xmp"_s)) << notices[0][0].toString().toStdString();
    EXPECT_EQ(test::readFile(t.root() / "b.jpg.xmp"), "<x:xmpmeta broken");
    EXPECT_EQ(m.decisions().of(id("b.jpg")), Decision{});
    EXPECT_EQ(m.undoable(), AppModel::Undoable::Nothing);

    // A sidecar that cannot be written (here its new file cannot be made) says so, and the cell keeps showing
    // what is on disk.
    t.dir(".c.jpg.xmp.vorlane-tmp");
    m.rateCurrent(5, false, id("c.jpg"));
    ASSERT_TRUE(waitUntil([&] { return notices.size() == 2; }));
    EXPECT_TRUE(notices[1][0].toString().contains(u"c.jpg.xmp"_s)) << notices[1][0].toString().toStdString();
    EXPECT_EQ(m.decisions().of(id("c.jpg")), (Decision{2, ColourLabel::Green}));
    EXPECT_EQ(onDisk("c.jpg.xmp"), (Decision{2, ColourLabel::Green}));
}

// A discarded original takes its own sidecar to the Trash; the stem's sidecar goes only with the last cell of
// that stem (a clip of the stem keeps the RAW and the JPEG apart); an original that stays keeps its own;
// Ctrl+Z brings them back.
TEST_F(Ratings, SidecarsGoWithTheirOriginalsAndComeBack)
{
    t.file("IMG_1.MOV", "IMG_1.MOV");
    for (const char *sidecar : {"IMG_1.JPG.xmp", "IMG_1.CR2.xmp", "IMG_1.xmp", "IMG_1.MOV.xmp", "b.jpg.xmp", "c.jpg.xmp"})
        t.file(sidecar, "<x:xmpmeta/>");
    ASSERT_TRUE(list());
    for (const char *cell : {"IMG_1.CR2", "b.jpg"})
        ASSERT_TRUE(markAndWait(m, id(cell)));
    EXPECT_EQ(discardAndWait(m), "Discarded 2 files") << "originals are counted, sidecars go along";
    EXPECT_FALSE(exists("IMG_1.CR2.xmp"));
    EXPECT_FALSE(exists("b.jpg.xmp"));
    EXPECT_TRUE(exists("IMG_1.xmp")) << "cells of that stem stay";
    EXPECT_TRUE(exists("IMG_1.JPG.xmp") && exists("c.jpg.xmp")) << "a cell that stays keeps its own";
    for (const char *cell : {"IMG_1.JPG", "IMG_1.MOV"})
        ASSERT_TRUE(markAndWait(m, id(cell)));
    EXPECT_EQ(discardAndWait(m), "Discarded 2 files");
    EXPECT_FALSE(exists("IMG_1.JPG.xmp") || exists("IMG_1.MOV.xmp"));
    EXPECT_FALSE(exists("IMG_1.xmp")) << "the last cells of the stem took it";
    EXPECT_EQ(undoAndWait(m), "Put back 2 files");
    EXPECT_TRUE(exists("IMG_1.MOV.xmp") && exists("IMG_1.JPG.xmp") && exists("IMG_1.xmp"));
    undoAndWait(m);
    for (const char *back : {"IMG_1.CR2", "IMG_1.CR2.xmp", "b.jpg", "b.jpg.xmp"})
        EXPECT_TRUE(exists(back)) << back;
}

// Filters narrow the view to at least N stars, a label (or none), a camera or a lens, and clear again.
TEST_F(Ratings, FiltersNarrowTheView)
{
    ASSERT_TRUE(makeJpeg(t.root() / "d.jpg", 64, 48, {u"-Make=Canon"_s, u"-Model=Canon EOS R6"_s, u"-LensModel=RF50mm F1.8 STM"_s}));
    ASSERT_TRUE(list());
    m.rateCurrent(5, false, id("IMG_1.CR2+JPG"));
    m.labelCurrent(ColourLabel::Green, false, id("IMG_1.CR2+JPG"));
    m.rateCurrent(3, false, id("b.jpg"));
    ASSERT_TRUE(shows("IMG_1.CR2+JPG", {5, ColourLabel::Green}) && shows("b.jpg", {3, ColourLabel::None}));
    const auto shown = [&] {
        QStringList names;
        for (const MediaPair &pair : m.shownPairs())
            names << pair.displayName();
        return names.join(u' ');
    };
    const struct
    {
        ViewFilter::Criteria criteria;
        const char *expected;
    } rows[] = {
        {{4, std::nullopt, {}, {}}, "IMG_1.CR2+JPG"},
        {{3, std::nullopt, {}, {}}, "b.jpg IMG_1.CR2+JPG"},
        {{0, ColourLabel::Green, {}, {}}, "IMG_1.CR2+JPG"},
        {{0, ColourLabel::None, {}, {}}, "b.jpg c.jpg d.jpg"},
        {{0, std::nullopt, u"Canon EOS R6"_s, {}}, "d.jpg"},
        {{0, std::nullopt, {}, u"RF50mm F1.8 STM"_s}, "d.jpg"},
        {{}, "b.jpg c.jpg d.jpg IMG_1.CR2+JPG"},
    };
    for (const auto &row : rows) {
        m.setFilter(row.criteria);
        EXPECT_EQ(shown().toStdString(), row.expected);
    }
    m.setFilter({3, std::nullopt, {}, {}});
    ASSERT_TRUE(markAndWait(m, id("b.jpg")));
    m.settings().setFolderView(ViewSettings::FolderView::Marked);
    EXPECT_EQ(shown().toStdString(), "b.jpg") << "a filter narrows the folder view, it does not replace it";
}

} // namespace
