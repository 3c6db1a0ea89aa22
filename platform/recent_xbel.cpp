#include "platform/recent_xbel.h"

#include <QDomDocument>
#include <QFile>
#include <QMimeDatabase>
#include <QUrl>
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include "base/file_io.h"
#include "settings/settings_path.h"

namespace trimlet {

namespace {

constexpr std::uint64_t kMaxXbelBytes = std::uint64_t{64} << 20;
const QString kApplication = QStringLiteral("trimlet");
const QString kExec = QStringLiteral("'trimlet %u'");

// GLib writes microseconds; the milliseconds we have are padded to its form.
QString stamp(const QDateTime& when)
{
    return when.toUTC().toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzz")) + QStringLiteral("000Z");
}

QDateTime parsedStamp(const QString& text) { return QDateTime::fromString(text, Qt::ISODateWithMs); }

QDomElement child(QDomDocument& doc, QDomElement parent, const QString& name)
{
    QDomElement found = parent.firstChildElement(name);
    if (found.isNull())
        found = parent.appendChild(doc.createElement(name)).toElement();
    return found;
}

QDomElement freedesktopMetadata(QDomDocument& doc, const QDomElement& bookmark)
{
    QDomElement info = child(doc, bookmark, QStringLiteral("info"));
    for (QDomElement m = info.firstChildElement(QStringLiteral("metadata")); !m.isNull();
         m = m.nextSiblingElement(QStringLiteral("metadata")))
        if (m.attribute(QStringLiteral("owner")) == QLatin1String("http://freedesktop.org"))
            return m;
    QDomElement m = info.appendChild(doc.createElement(QStringLiteral("metadata"))).toElement();
    m.setAttribute(QStringLiteral("owner"), QStringLiteral("http://freedesktop.org"));
    return m;
}

void refresh(QDomDocument& doc, QDomElement bookmark, const std::string& file, const QString& now)
{
    if (!bookmark.hasAttribute(QStringLiteral("added")))
        bookmark.setAttribute(QStringLiteral("added"), now);
    bookmark.setAttribute(QStringLiteral("modified"), now);
    bookmark.setAttribute(QStringLiteral("visited"), now);
    QDomElement metadata = freedesktopMetadata(doc, bookmark);
    const QString mime =
        QMimeDatabase()
            .mimeTypeForFile(QFile::decodeName(QByteArray::fromStdString(file)), QMimeDatabase::MatchExtension)
            .name();
    child(doc, metadata, QStringLiteral("mime:mime-type")).setAttribute(QStringLiteral("type"), mime);
    QDomElement apps = child(doc, metadata, QStringLiteral("bookmark:applications"));
    QDomElement ours;
    for (QDomElement a = apps.firstChildElement(QStringLiteral("bookmark:application")); !a.isNull();
         a = a.nextSiblingElement(QStringLiteral("bookmark:application")))
        if (a.attribute(QStringLiteral("name")) == kApplication)
            ours = a;
    if (ours.isNull()) {
        ours = apps.appendChild(doc.createElement(QStringLiteral("bookmark:application"))).toElement();
        ours.setAttribute(QStringLiteral("name"), kApplication);
    }
    ours.setAttribute(QStringLiteral("exec"), kExec);
    ours.setAttribute(QStringLiteral("modified"), now);
    ours.setAttribute(QStringLiteral("count"), std::max(0, ours.attribute(QStringLiteral("count")).toInt()) + 1);
}

void dropOldest(QDomElement root, const QDomElement& keep)
{
    std::vector<QDomElement> bookmarks;
    for (QDomElement b = root.firstChildElement(QStringLiteral("bookmark")); !b.isNull();
         b = b.nextSiblingElement(QStringLiteral("bookmark")))
        bookmarks.push_back(b);
    if (bookmarks.size() <= std::size_t(kMaxXbelBookmarks))
        return;
    std::stable_sort(bookmarks.begin(), bookmarks.end(), [](const QDomElement& a, const QDomElement& b) {
        return parsedStamp(a.attribute(QStringLiteral("modified"))) <
               parsedStamp(b.attribute(QStringLiteral("modified")));
    });
    std::size_t excess = bookmarks.size() - std::size_t(kMaxXbelBookmarks);
    for (QDomElement& b : bookmarks) {
        if (excess == 0)
            break;
        if (b == keep)
            continue;
        root.removeChild(b);
        --excess;
    }
}

Result<QDomDocument> readXbel(const std::string& xbelPath)
{
    QDomDocument doc;
    std::error_code ec;
    if (!std::filesystem::exists(std::filesystem::symlink_status(xbelPath, ec))) {
        doc.setContent(
            QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                           "<xbel version=\"1.0\"\n"
                           "      xmlns:bookmark=\"http://www.freedesktop.org/standards/desktop-bookmarks\"\n"
                           "      xmlns:mime=\"http://www.freedesktop.org/standards/shared-mime-info\"\n"
                           "></xbel>"));
        return doc;
    }
    auto bytes = readFileBytes(xbelPath, kMaxXbelBytes);
    if (!bytes)
        return bytes.error();
    const QByteArray text(reinterpret_cast<const char*>(bytes.value().data()), qsizetype(bytes.value().size()));
    QString why;
    if (!doc.setContent(text, false, &why) || doc.documentElement().tagName() != QLatin1String("xbel"))
        return makeError(ErrorCode::Corrupt, "not an XBEL file: " + why.toStdString());
    return doc;
}

}  // namespace

std::string recentlyUsedXbelPath()
{
    const char* set = std::getenv("XDG_DATA_HOME");
    const std::string base = set && *set == '/' ? std::string(set) : homeFolder() + "/.local/share";
    return base + "/recently-used.xbel";
}

QString fileUriOfPath(const std::string& path)
{
    return QStringLiteral("file://") + QString::fromLatin1(QByteArray::fromStdString(path).toPercentEncoding("/"));
}

Status announceInXbel(const std::string& xbelPath, const std::string& file, const QDateTime& when)
{
    auto read = readXbel(xbelPath);
    if (!read)
        return read.error();
    QDomDocument& doc = read.value();
    QDomElement root = doc.documentElement();
    const QString href = fileUriOfPath(file);
    QDomElement bookmark;
    for (QDomElement b = root.firstChildElement(QStringLiteral("bookmark")); !b.isNull() && bookmark.isNull();
         b = b.nextSiblingElement(QStringLiteral("bookmark")))
        if (QUrl(b.attribute(QStringLiteral("href"))) == QUrl(href))
            bookmark = b;
    if (bookmark.isNull()) {
        bookmark = root.appendChild(doc.createElement(QStringLiteral("bookmark"))).toElement();
        bookmark.setAttribute(QStringLiteral("href"), href);
    }
    refresh(doc, bookmark, file, stamp(when));
    dropOldest(root, bookmark);

    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(xbelPath).parent_path(), ec);
    const QByteArray out = doc.toByteArray(2);
    return writeFileAtomic(xbelPath, Bytes(reinterpret_cast<const std::uint8_t*>(out.data()), std::size_t(out.size())),
                           WriteOptions{.access = FileAccess::OwnerOnly});
}

}  // namespace trimlet
