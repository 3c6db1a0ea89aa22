// The desktop's recently-used list: other programs' bookmarks survive a merge, ours carries
// what GTK readers look for, the list is capped as GTK caps it, a damaged file is left alone.

#include <gtest/gtest.h>

#include <QDomDocument>
#include <QTextStream>
#include <QUrl>
#include <filesystem>

#include "platform/recent_xbel.h"
#include "tests/support/test_support.h"

using namespace trimlet;
using trimlet::test::TempDir;

namespace {

void writeText(const std::string& path, const std::string& text)
{
    test::writeBytes(path, std::vector<std::uint8_t>(text.begin(), text.end()));
}

QDomDocument parsed(const std::string& path)
{
    const std::vector<std::uint8_t> bytes = test::readBytes(path);
    QDomDocument doc;
    EXPECT_TRUE(doc.setContent(QByteArray(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size()))));
    return doc;
}

QDomElement bookmarkOf(const QDomDocument& doc, const QString& href)
{
    for (QDomElement b = doc.documentElement().firstChildElement("bookmark"); !b.isNull();
         b = b.nextSiblingElement("bookmark"))
        if (b.attribute("href") == href)
            return b;
    return {};
}

const char* const kForeign = R"(<?xml version="1.0" encoding="UTF-8"?>
<xbel version="1.0"
      xmlns:bookmark="http://www.freedesktop.org/standards/desktop-bookmarks"
      xmlns:mime="http://www.freedesktop.org/standards/shared-mime-info"
>
  <bookmark href="file:///home/u/notes.txt" added="2026-01-02T03:04:05.000001Z" modified="2026-01-02T03:04:05.000001Z" visited="2026-01-02T03:04:05.000001Z">
    <info>
      <metadata owner="http://freedesktop.org">
        <mime:mime-type type="text/plain"/>
        <bookmark:groups><bookmark:group>gedit</bookmark:group></bookmark:groups>
        <bookmark:applications>
          <bookmark:application name="gedit" exec="&apos;gedit %u&apos;" modified="2026-01-02T03:04:05.000001Z" count="4"/>
        </bookmark:applications>
      </metadata>
    </info>
  </bookmark>
  <bookmark href="file:///pics/a%20b.png" added="2026-01-01T00:00:00Z" modified="2026-01-01T00:00:00Z" visited="2026-01-01T00:00:00Z">
    <info>
      <metadata owner="http://freedesktop.org">
        <mime:mime-type type="image/png"/>
        <bookmark:applications>
          <bookmark:application name="eog" exec="&apos;eog %u&apos;" modified="2026-01-01T00:00:00Z" count="1"/>
        </bookmark:applications>
      </metadata>
    </info>
  </bookmark>
</xbel>
)";

}  // namespace

TEST(RecentXbel, mergesIntoOtherProgramsList)
{
    TempDir dir;
    const std::string xbel = dir.file("share/recently-used.xbel");
    std::filesystem::create_directories(dir.file("share"));
    writeText(xbel, kForeign);
    const QDateTime when(QDate(2026, 12, 10), QTime(16, 30, 1, 250), Qt::UTC);
    ASSERT_TRUE(announceInXbel(xbel, "/pics/a b.png", when));
    ASSERT_TRUE(announceInXbel(xbel, "/pics/a b.png", when));
    const std::string odd = "/pics/\x8e\xca \xe5\x86\x99.JPG";  // not UTF-8, and a kanji
    ASSERT_TRUE(announceInXbel(xbel, odd, when));

    const QDomDocument doc = parsed(xbel);
    const QDomDocument before = [] {
        QDomDocument d;
        d.setContent(QByteArray(kForeign));
        return d;
    }();
    // The other program's bookmark is as it was, node for node.
    const QDomElement notes = bookmarkOf(doc, "file:///home/u/notes.txt");
    const auto text = [](const QDomElement& e) {
        QString out;
        QTextStream stream(&out);
        e.save(stream, 0);
        return out;
    };
    EXPECT_EQ(text(notes), text(bookmarkOf(before, "file:///home/u/notes.txt")));

    const QDomElement shared = bookmarkOf(doc, "file:///pics/a%20b.png");
    ASSERT_FALSE(shared.isNull());
    EXPECT_EQ(shared.attribute("added"), "2026-01-01T00:00:00Z");
    EXPECT_EQ(shared.attribute("modified"), "2026-12-10T16:30:01.250000Z");
    EXPECT_EQ(shared.attribute("visited"), "2026-12-10T16:30:01.250000Z");
    const QDomElement apps =
        shared.firstChildElement("info").firstChildElement("metadata").firstChildElement("bookmark:applications");
    QStringList seen;
    for (QDomElement e = apps.firstChildElement(); !e.isNull(); e = e.nextSiblingElement())
        seen << e.attribute("name") + ":" + e.attribute("count") + ":" + e.attribute("exec");
    EXPECT_EQ(seen, QStringList({"eog:1:'eog %u'", "trimlet:2:'trimlet %u'"}));

    const QString href = fileUriOfPath(odd);
    EXPECT_EQ(QUrl(href).toLocalFile().isEmpty(), false);
    EXPECT_EQ(QByteArray::fromPercentEncoding(href.mid(7).toLatin1()).toStdString(), odd);
    const QDomElement added = bookmarkOf(doc, href);
    ASSERT_FALSE(added.isNull());
    EXPECT_EQ(added.attribute("added"), "2026-12-10T16:30:01.250000Z");
    EXPECT_EQ(added.firstChildElement("info")
                  .firstChildElement("metadata")
                  .firstChildElement("mime:mime-type")
                  .attribute("type"),
              "image/jpeg");
}

TEST(RecentXbel, aNewListIsMadeAndTheOldestGoPastTheCap)
{
    TempDir dir;
    const std::string xbel = dir.file("new/recently-used.xbel");
    ASSERT_TRUE(announceInXbel(xbel, "/p/first.png", QDateTime(QDate(2020, 1, 1), QTime(0, 0), Qt::UTC)));
    std::string text = "<xbel version=\"1.0\">\n";
    for (int i = 0; i < kMaxXbelBookmarks; ++i)  // the newest first: the order of the file is no age
        text += "<bookmark href=\"file:///p/" + std::to_string(i) + ".png\" modified=\"" +
                QDateTime(QDate(2021, 1, 1), QTime(0, 0), Qt::UTC).addSecs(-i).toString(Qt::ISODate).toStdString() +
                "\"/>\n";
    writeText(xbel, text + "</xbel>\n");
    ASSERT_TRUE(announceInXbel(xbel, "/p/new.png", QDateTime(QDate(2022, 1, 1), QTime(0, 0), Qt::UTC)));
    const QDomDocument doc = parsed(xbel);
    EXPECT_EQ(doc.documentElement().elementsByTagName("bookmark").count(), kMaxXbelBookmarks);
    EXPECT_TRUE(bookmarkOf(doc, QString("file:///p/%1.png").arg(kMaxXbelBookmarks - 1)).isNull());
    EXPECT_FALSE(bookmarkOf(doc, QString("file:///p/%1.png").arg(kMaxXbelBookmarks - 2)).isNull());
    EXPECT_FALSE(bookmarkOf(doc, "file:///p/new.png").isNull());
}

TEST(RecentXbel, aDamagedListIsLeftUntouched)
{
    TempDir dir;
    const QDateTime when = QDateTime::currentDateTimeUtc();
    for (const std::string& text : {std::string(kForeign).substr(0, 700), std::string("<html><body/></html>"),
                                    std::string("\xff\xfe\x00garbage", 10)}) {
        const std::string xbel = dir.file("recently-used.xbel");
        writeText(xbel, text);
        EXPECT_FALSE(announceInXbel(xbel, "/p/a.png", when));
        const std::vector<std::uint8_t> after = test::readBytes(xbel);
        EXPECT_EQ(std::string(after.begin(), after.end()), text);
    }
}
