#include "forms/widgets/path_text.h"

#include <QFile>
#include <QStringDecoder>
#include <dirent.h>
#include <memory>
#include <optional>

#include "base/byte_path.h"
#include "settings/cut_size_presets.h"

namespace trimlet {

namespace {

bool isUtf8(const std::string& bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString decoded = decoder.decode(QByteArrayView(bytes.data(), qsizetype(bytes.size())));
    return !decoder.hasError();
}

QString displayComponent(const std::string& component)
{
    if (isUtf8(component))
        return QString::fromStdString(component);
    const std::string converted = shiftJisToUtf8(component);
    if (converted != component && isUtf8(converted))
        return QString::fromStdString(converted);
    return QFile::decodeName(QByteArray::fromStdString(component));
}

// The one entry of folder that shows as name, if exactly one does.
std::optional<std::string> entryShownAs(const std::string& folder, const QString& name)
{
    const std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(folder.empty() ? "." : folder.c_str()), ::closedir);
    if (!dir)
        return std::nullopt;
    std::optional<std::string> found;
    while (const dirent* entry = ::readdir(dir.get())) {
        const std::string candidate = entry->d_name;
        if (displayComponent(candidate) != name && QFile::decodeName(candidate.c_str()) != name)
            continue;
        if (found)
            return std::nullopt;  // two names show alike; taking either could be the wrong file
        found = candidate;
    }
    return found;
}

}  // namespace

QString displayPath(const std::string& path)
{
    if (isUtf8(path))
        return QString::fromStdString(path);
    QString shown;
    const std::vector<std::string> parts = pathComponents(path);
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (i > 0)
            shown += QLatin1Char('/');
        shown += displayComponent(parts[i]);
    }
    return shown;
}

std::string localPathOfUrl(const QUrl& url)
{
    if (!url.isLocalFile())
        return {};
    const QByteArray path = QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1());
    const QString host = url.host();
    if (host.isEmpty())
        return path.toStdString();
    // As QUrl::toLocalFile: a host names a share, "//host/path".
    return "//" + host.toStdString() + (path.startsWith('/') ? "" : "/") + path.toStdString();
}

QUrl urlOfLocalPath(const std::string& path)
{
    return QUrl::fromEncoded("file://" + QByteArray::fromStdString(path).toPercentEncoding("/"), QUrl::StrictMode);
}

std::string pathFromDialog(const QString& chosen, const std::vector<std::string>& known)
{
    if (chosen.isEmpty())
        return {};
    for (const std::string& path : known)
        if (chosen == displayPath(path) || chosen == QFile::decodeName(QByteArray::fromStdString(path)))
            return path;
    if (!chosen.contains(QChar::ReplacementCharacter))
        return QFile::encodeName(chosen).toStdString();
    std::string result;
    const QStringList parts = chosen.split(QLatin1Char('/'));
    for (qsizetype i = 0; i < parts.size(); ++i) {
        if (i > 0)
            result += '/';
        const std::optional<std::string> entry =
            parts[i].contains(QChar::ReplacementCharacter) ? entryShownAs(result, parts[i]) : std::nullopt;
        result += entry ? *entry : QFile::encodeName(parts[i]).toStdString();
    }
    return result;
}

std::string utf8Ancestor(const std::string& path)
{
    if (isUtf8(path))
        return path;
    std::string kept;
    const std::vector<std::string> parts = pathComponents(path);
    for (std::size_t i = 0; i < parts.size() && isUtf8(parts[i]); ++i)
        kept += (i > 0 ? "/" : "") + parts[i];
    return kept.empty() && path.starts_with('/') ? std::string("/") : kept;
}

}  // namespace trimlet
