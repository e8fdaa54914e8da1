#include "catalogue/sidecar.h"
#include "testsupport/support.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace vorlane {
namespace {

// A darktable sidecar as darktable writes it: an edit history, tags, and its own label list.
constexpr const char *kDarktable = R"(<?xml version="1.0" encoding="UTF-8"?>
<x:xmpmeta xmlns:x="adobe:ns:meta/" x:xmptk="XMP Core 4.4.0-Exiv2">
 <rdf:RDF xmlns:rdf="http://www.w3.org/1999/02/22-rdf-syntax-ns#">
  <rdf:Description rdf:about=""
    xmlns:xmp="http://ns.adobe.com/xap/1.0/"
    xmlns:dc="http://purl.org/dc/elements/1.1/"
    xmlns:darktable="http://darktable.sf.net/"
   xmp:Rating="1"
   darktable:xmp_version="5"
   darktable:history_end="2">
   <dc:subject><rdf:Bag><rdf:li>wedding</rdf:li><rdf:li>ceremony</rdf:li></rdf:Bag></dc:subject>
   <darktable:colorlabels><rdf:Seq><rdf:li>3</rdf:li></rdf:Seq></darktable:colorlabels>
   <darktable:history>
    <rdf:Seq>
     <rdf:li darktable:num="0" darktable:operation="exposure" darktable:enabled="1"
      darktable:params="0000000000000000cdcc4c3e" darktable:multi_name=""/>
     <rdf:li darktable:num="1" darktable:operation="colorbalancergb" darktable:enabled="1"
      darktable:params="gz14eJxjYGBgYAFiAQ" darktable:multi_name="warm"/>
    </rdf:Seq>
   </darktable:history>
  </rdf:Description>
 </rdf:RDF>
</x:xmpmeta>
)";

// exiftool's full reading of a sidecar's XMP, less the fields a rating or a label changes.
QJsonObject everythingBut(const std::filesystem::path &xmp)
{
    QByteArray out;
    test::runTool(u"exiftool"_s, {u"-j"_s, u"-struct"_s, u"-XMP:all"_s, test::qpath(xmp)}, &out);
    QJsonObject all = QJsonDocument::fromJson(out).array().at(0).toObject();
    for (const QString &key : all.keys()) {
        if (key.compare(u"Rating"_s, Qt::CaseInsensitive) == 0 || key.compare(u"Label"_s, Qt::CaseInsensitive) == 0
            || key.compare(u"ColorLabels"_s, Qt::CaseInsensitive) == 0 || key == u"XMPToolkit"_s)
            all.remove(key);
    }
    return all;
}

// A file's bytes, or nothing for what is not a regular file.
std::string bytesOf(const std::filesystem::path &path)
{
    return std::filesystem::is_regular_file(std::filesystem::symlink_status(path)) ? test::readFile(path) : std::string();
}

TEST(Sidecars, AWriteMergesAndKeepsAnEditorsHistory)
{
    if (!test::haveTool("exiftool"))
        GTEST_SKIP() << "exiftool not installed";
    test::TempTree t;
    const auto xmp = t.file("IMG_1.CR2.xmp", kDarktable);
    const QJsonObject before = everythingBut(xmp);
    ASSERT_TRUE(before.contains(u"History"_s)) << QJsonDocument(before).toJson().toStdString();
    EXPECT_EQ(Sidecars::read(xmp).decision, (Decision{1, ColourLabel::Blue})) << "darktable's own label list";

    ASSERT_EQ(Sidecars::write(xmp, {5, ColourLabel::Red}), QString());
    const auto json = [](const QJsonObject &o) { return QJsonDocument(o).toJson().toStdString(); };
    EXPECT_EQ(json(everythingBut(xmp)), json(before)) << "only the rating and the label changed";
    EXPECT_EQ(Sidecars::read(xmp).decision, (Decision{5, ColourLabel::Red}));
    QByteArray tags;
    test::runTool(u"exiftool"_s, {u"-j"_s, u"-Rating"_s, u"-Label"_s, u"-XMP-darktable:ColorLabels"_s, test::qpath(xmp)}, &tags);
    const QJsonObject read = QJsonDocument::fromJson(tags).array().at(0).toObject();
    EXPECT_EQ(read[u"Rating"_s].toInt(), 5);
    EXPECT_EQ(read[u"Label"_s].toString(), u"Red"_s);
    EXPECT_EQ(read[u"ColorLabels"_s].toVariant().toInt(), 0) << "darktable's list follows";

    ASSERT_EQ(Sidecars::write(xmp, {0, ColourLabel::None}), QString());
    EXPECT_EQ(Sidecars::read(xmp).decision, Decision{});
    EXPECT_EQ(json(everythingBut(xmp)), json(before)) << "clearing removes the fields and nothing else";
}

struct ReadRow
{
    const char *name;
    const char *packet;
    Decision expected;
};

TEST(Sidecars, WhatEditorsWriteIsRead)
{
    const auto packet = [](const char *attributes) {
        return std::string(R"(<x:xmpmeta xmlns:x="adobe:ns:meta/"><rdf:RDF xmlns:rdf="http://www.w3.org/1999/02/22-rdf-syntax-ns#">)")
            + R"(<rdf:Description rdf:about="" xmlns:xmp="http://ns.adobe.com/xap/1.0/" )" + attributes
            + "/></rdf:RDF></x:xmpmeta>";
    };
    const ReadRow rows[] = {
        {"Lightroom", R"(xmp:Rating="3" xmp:Label="Yellow")", {3, ColourLabel::Yellow}},
        {"label in any case", R"(xmp:Label="pURPLE")", {0, ColourLabel::Purple}},
        {"rejected", R"(xmp:Rating="-1")", {-1, ColourLabel::None}},
        {"rating out of range", R"(xmp:Rating="7" xmp:Label="Green")", {0, ColourLabel::Green}},
        {"a label of another scheme", R"(xmp:Rating="2" xmp:Label="To Do")", {2, ColourLabel::None}},
    };
    for (const ReadRow &row : rows)
        EXPECT_EQ(Sidecars::parse(packet(row.packet)).decision, row.expected) << row.name;
}

// A sidecar that is not one gives no decision and a reason naming it, and a write leaves it as it is.
TEST(Sidecars, WhatIsNotASidecarIsNeverWrittenOver)
{
    test::TempTree t;
    const struct
    {
        const char *name;
        std::function<std::filesystem::path()> make;
    } rows[] = {
        {"not XML", [&] { return t.file("a.jpg.xmp", "garbage <x:xmpmeta"); }},
        {"truncated", [&] { return t.file("b.jpg.xmp", std::string(kDarktable).substr(0, 400)); }},
        {"too large", [&] { return t.file("c.jpg.xmp", std::string(Sidecars::kMaxBytes + 1, ' ')); }},
        {"a folder", [&] { return t.dir("d.jpg.xmp"); }},
        {"a link", [&] {
             const auto link = t.root() / "e.jpg.xmp";
             std::filesystem::create_symlink(t.file("elsewhere.txt", kDarktable), link);
             return link;
         }},
    };
    for (const auto &row : rows) {
        const auto path = row.make();
        const std::string before = bytesOf(path);
        const Sidecars::Reading r = Sidecars::read(path);
        EXPECT_FALSE(r.decision) << row.name;
        EXPECT_TRUE(r.problem.contains(QString::fromStdString(path.filename().string()))) << row.name;
        const QString why = Sidecars::write(path, {4, std::nullopt});
        EXPECT_TRUE(why.contains(QString::fromStdString(path.filename().string()))) << row.name << ": " << why.toStdString();
        EXPECT_EQ(bytesOf(path), before) << row.name;
    }
    EXPECT_EQ(test::readFile(t.root() / "elsewhere.txt"), kDarktable) << "nothing written through the link";

    // A place that cannot be written: the reason is said, nothing is left behind.
    const auto notAFolder = t.file("card", "a file");
    EXPECT_TRUE(Sidecars::write(notAFolder / "x.jpg.xmp", {3, std::nullopt}).contains(u"x.jpg.xmp"_s));
    EXPECT_EQ(test::readFile(notAFolder), "a file");
}

} // namespace
} // namespace vorlane
