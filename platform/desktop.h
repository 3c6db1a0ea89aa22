#pragma once
// Everything the program asks of the desktop — message boxes, dialogs, the clipboard, opening
// folders and pages — goes through one Desktop object, so window tests can answer in place of
// a person. The program installs QtDesktop, which uses the real Qt dialogs and clipboard.

#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QString>
#include <QUrl>
#include <cstdint>
#include <optional>
#include <string>

class QWidget;

namespace trimlet {

// Message-box kinds in the order the status reports number them.
enum class MessageKind { Warning = 0, Error = 1, Information = 2, Confirmation = 3 };

// The button of a question that Enter presses.
enum class DefaultAnswer { Yes, No };

// Title of the message box of each kind: "警告", "エラー", "情報", "確認".
QString messageTitle(MessageKind kind);

struct FileDialogRequest {
    QString caption;
    QString initialFolder;
    QString fileName;        // preset file name (save dialogs)
    QStringList filters;     // Qt form: "JPEG files (*.jpg *.jpeg)"
    int selectedFilter = 0;  // index into filters
    QString defaultSuffix;   // without the dot
    bool confirmOverwrite = true;
    bool requireExistingFolder = false;  // save dialogs: refuse a name in a missing folder
};

class Desktop {
public:
    virtual ~Desktop() = default;

    // A modal box with one OK button.
    virtual void message(QWidget* parent, MessageKind kind, const QString& text) = 0;
    // A modal box with "はい(&Y)" and "いいえ(&N)"; true only for Yes (closing the box is No).
    virtual bool askYesNo(QWidget* parent, MessageKind kind, const QString& text, DefaultAnswer byDefault) = 0;
    // Open and save dialogs: the chosen path, or an empty string when cancelled.
    virtual QString openFileName(QWidget* parent, const FileDialogRequest& request) = 0;
    virtual QString saveFileName(QWidget* parent, const FileDialogRequest& request) = 0;
    // A folder dialog opened at initialFolder: the chosen folder, or an empty string when cancelled.
    virtual QString chooseFolder(QWidget* parent, const QString& caption, const QString& initialFolder) = 0;
    virtual std::optional<QColor> chooseColor(QWidget* parent, const QColor& initial) = 0;
    virtual std::optional<QString> inputText(QWidget* parent, const QString& title, const QString& prompt,
                                             const QString& initial) = 0;
    // Hands a folder or web page to the desktop's file manager or browser; false when the
    // desktop has no program for it or could not start one.
    virtual bool openUrl(const QUrl& url) = 0;

    virtual bool clipboardHasImage() = 0;
    virtual QImage clipboardImage() = 0;
    // Replaces the clipboard's contents by the image and, when not empty, GIF file bytes.
    virtual bool setClipboard(const QImage& image, const QByteArray& gifBytes) = 0;

    // Tells the desktop's recently-used list (GTK's file dialogs, file managers) that the
    // user opened the picture at path (the file system's bytes). Best effort: a list that
    // cannot be written or read is left as it is.
    virtual void addRecentFile(const std::string& path) = 0;

    // Bytes free to the user on the file system holding folder; nullopt when it cannot be told.
    virtual std::optional<std::uint64_t> freeSpace(const QString& folder) = 0;
};

// Once the session ends nobody is left to answer: from then on QtDesktop shows nothing,
// writes messages to standard error, answers questions No and cancels dialogs, so that
// nothing keeps the program from closing.
void setSessionEnding();
bool sessionEnding();

// The process's desktop; QtDesktop unless a test installed another.
Desktop& desktop();
// Installs a desktop (not owned) for tests; nullptr restores QtDesktop.
void setDesktop(Desktop* replacement);

}  // namespace trimlet
