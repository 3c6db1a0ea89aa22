#pragma once
// The console's save folder: serial saves go beside the picture, or into a folder the user
// chose. The combo box shows the folder shortened, its whole path as the tip.

#include <QObject>
#include <string>

class QComboBox;
class QWidget;

namespace trimlet {

class SaveFolderChoice : public QObject {
    Q_OBJECT
public:
    // The combo box cmbSaveDir, made in parent for its layout.
    explicit SaveFolderChoice(QWidget* parent);
    QComboBox* combo() const { return combo_; }

    // The chosen folder as the file system's bytes; empty for beside the picture.
    const std::string& folder() const { return folder_; }
    void setFolder(std::string folder);

private:
    void picked(int index);
    void show();

    QComboBox* combo_;
    std::string folder_;
    // The last folder chosen, kept in the list while the pictures go beside themselves.
    std::string listed_;
};

}  // namespace trimlet
