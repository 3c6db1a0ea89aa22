#pragma once
// A Desktop that answers in place of a person and remembers what the program asked.

#include <QStringList>
#include <deque>

#include "platform/desktop.h"

namespace trimlet::test {

class FakeDesktop final : public Desktop {
public:
    struct Shown {
        MessageKind kind;
        QString text;
    };
    struct Question {
        MessageKind kind;
        QString text;
        DefaultAnswer byDefault;
    };

    FakeDesktop() { setDesktop(this); }
    ~FakeDesktop() override { setDesktop(nullptr); }

    // What the program showed, in order.
    std::vector<Shown> messages;
    std::vector<Question> questions;
    std::vector<FileDialogRequest> fileDialogs;
    QStringList folderDialogs;  // the folder each folder dialog opened at
    std::vector<QUrl> openedUrls;

    // Scripted answers, taken front first; an empty queue answers No / cancel.
    std::deque<bool> yesNoAnswers;
    std::deque<QString> fileAnswers;
    std::deque<QString> folderAnswers;
    std::deque<std::optional<QColor>> colourAnswers;
    std::deque<std::optional<QString>> textAnswers;

    QImage clipboard;
    QByteArray clipboardGif;
    bool clipboardRefuses = false;
    // openUrl answers false, as a desktop without a file manager does.
    bool urlsRefused = false;
    // Placing on the clipboard runs out of memory, as a copy of a huge picture would.
    bool clipboardThrows = false;
    // What freeSpace answers, and the folders it was asked about.
    std::optional<std::uint64_t> freeBytes;
    QStringList freeSpaceFolders;

    void message(QWidget*, MessageKind kind, const QString& text) override;
    bool askYesNo(QWidget*, MessageKind kind, const QString& text, DefaultAnswer byDefault) override;
    QString openFileName(QWidget*, const FileDialogRequest& request) override;
    QString saveFileName(QWidget*, const FileDialogRequest& request) override;
    QString chooseFolder(QWidget*, const QString& caption, const QString& initialFolder) override;
    std::optional<QColor> chooseColor(QWidget*, const QColor& initial) override;
    std::optional<QString> inputText(QWidget*, const QString& title, const QString& prompt,
                                     const QString& initial) override;
    bool openUrl(const QUrl& url) override
    {
        openedUrls.push_back(url);
        return !urlsRefused;
    }
    bool clipboardHasImage() override { return !clipboard.isNull(); }
    QImage clipboardImage() override { return clipboard; }
    bool setClipboard(const QImage& image, const QByteArray& gifBytes) override;
    // The pictures announced to the desktop's recently-used list, in order.
    std::vector<std::string> recentFiles;
    void addRecentFile(const std::string& path) override { recentFiles.push_back(path); }
    std::optional<std::uint64_t> freeSpace(const QString& folder) override
    {
        freeSpaceFolders << folder;
        return freeBytes;
    }
};

}  // namespace trimlet::test
