#include "platform/paths.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <filesystem>

namespace trimlet {

std::string defaultPictureFolder(const std::string& executable)
{
    if (runsPortably(executable))
        return std::filesystem::path(executable).parent_path().string();
    const QString pictures = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    if (!pictures.isEmpty() && QDir(pictures).exists())
        return QFile::encodeName(pictures).toStdString();
    return homeFolder();
}

}  // namespace trimlet
