#include "platform/desktop.h"

#include <QApplication>
#include <QClipboard>
#include <QColorDialog>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <algorithm>
#include <cstdio>
#include <filesystem>

#include "platform/recent_xbel.h"

namespace trimlet {

QString messageTitle(MessageKind kind)
{
    switch (kind) {
    case MessageKind::Warning: return QCoreApplication::translate("Desktop", "警告");
    case MessageKind::Error: return QCoreApplication::translate("Desktop", "エラー");
    case MessageKind::Information: return QCoreApplication::translate("Desktop", "情報");
    case MessageKind::Confirmation: return QCoreApplication::translate("Desktop", "確認");
    }
    return {};
}

namespace {

QMessageBox::Icon iconFor(MessageKind kind)
{
    switch (kind) {
    case MessageKind::Warning: return QMessageBox::Warning;
    case MessageKind::Error: return QMessageBox::Critical;
    case MessageKind::Information: return QMessageBox::Information;
    case MessageKind::Confirmation: return QMessageBox::Question;
    }
    return QMessageBox::NoIcon;
}

bool ending = false;

// The width a dialog's contents need so that the window manager does not cut its title: the
// text in the title bar's font, which is at most a little larger than the dialog's, plus the
// room of the window icon and the buttons beside it.
int widthForTitle(const QWidget& dialog, const QString& title)
{
    QFont font = dialog.font();
    font.setBold(true);
    return QFontMetrics(font).horizontalAdvance(title) * 5 / 4 + dialog.fontMetrics().height() * 8;
}

class QtDesktop final : public Desktop {
public:
    void message(QWidget* parent, MessageKind kind, const QString& text) override
    {
        if (ending) {
            std::fprintf(stderr, "trimlet: %s: %s\n", qPrintable(messageTitle(kind)), qPrintable(text));
            return;
        }
        QMessageBox box(iconFor(kind), messageTitle(kind), text, QMessageBox::NoButton, parent);
        // Named, so that scripted runs (TRIMLET_ACTIONS) can answer the box.
        box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole)->setObjectName(QStringLiteral("btnOK"));
        box.exec();
    }

    bool askYesNo(QWidget* parent, MessageKind kind, const QString& text, DefaultAnswer byDefault) override
    {
        if (ending)
            return false;
        QMessageBox box(iconFor(kind), messageTitle(kind), text, QMessageBox::NoButton, parent);
        QPushButton* yes = box.addButton(QCoreApplication::translate("Desktop", "はい(&Y)"), QMessageBox::YesRole);
        QPushButton* no = box.addButton(QCoreApplication::translate("Desktop", "いいえ(&N)"), QMessageBox::NoRole);
        yes->setObjectName(QStringLiteral("btnYes"));
        no->setObjectName(QStringLiteral("btnNo"));
        box.setDefaultButton(byDefault == DefaultAnswer::Yes ? yes : no);
        box.setEscapeButton(no);
        box.exec();
        return box.clickedButton() == yes;
    }

    QString openFileName(QWidget* parent, const FileDialogRequest& r) override
    {
        return runFileDialog(parent, r, true);
    }
    QString saveFileName(QWidget* parent, const FileDialogRequest& r) override
    {
        return runFileDialog(parent, r, false);
    }

    QString chooseFolder(QWidget* parent, const QString& caption, const QString& initialFolder) override
    {
        if (ending)
            return {};
        return QFileDialog::getExistingDirectory(parent, caption, initialFolder);
    }

    std::optional<QColor> chooseColor(QWidget* parent, const QColor& initial) override
    {
        if (ending)
            return std::nullopt;
        const QColor c = QColorDialog::getColor(initial, parent);
        return c.isValid() ? std::optional<QColor>(c) : std::nullopt;
    }

    std::optional<QString> inputText(QWidget* parent, const QString& title, const QString& prompt,
                                     const QString& initial) override
    {
        if (ending)
            return std::nullopt;
        QInputDialog dialog(parent);
        dialog.setObjectName(QStringLiteral("inputText"));
        dialog.setWindowTitle(title);
        dialog.setLabelText(prompt);
        dialog.setTextValue(initial);
        // The dialog's layout sets its minimum size from its contents: the field sets the width.
        if (auto* field = dialog.findChild<QLineEdit*>())
            field->setMinimumWidth(widthForTitle(dialog, title));
        if (dialog.exec() != QDialog::Accepted)
            return std::nullopt;
        return dialog.textValue();
    }

    bool openUrl(const QUrl& url) override { return QDesktopServices::openUrl(url); }

    bool clipboardHasImage() override
    {
        // Only bitmap data counts: a clipboard holding just GIF file bytes pastes nothing.
        const QMimeData* data = QGuiApplication::clipboard()->mimeData();
        if (!data)
            return false;
        const QStringList formats = data->formats();
        return std::any_of(formats.begin(), formats.end(), [](const QString& f) {
            return f == QLatin1String("application/x-qt-image") ||
                   (f.startsWith(QLatin1String("image/")) && f != QLatin1String("image/gif"));
        });
    }

    QImage clipboardImage() override { return QGuiApplication::clipboard()->image(); }

    bool setClipboard(const QImage& image, const QByteArray& gifBytes) override
    {
        auto* data = new QMimeData;
        if (!gifBytes.isEmpty())
            data->setData(QStringLiteral("image/gif"), gifBytes);
        data->setImageData(image);
        QGuiApplication::clipboard()->setMimeData(data);
        return true;
    }

    std::optional<std::uint64_t> freeSpace(const QString& folder) override
    {
        std::error_code ec;
        const auto space = std::filesystem::space(QFile::encodeName(folder).toStdString(), ec);
        if (ec)
            return std::nullopt;
        return std::uint64_t(space.available);
    }

    void addRecentFile(const std::string& path) override
    {
        if (const Status st = announceInXbel(recentlyUsedXbelPath(), path, QDateTime::currentDateTimeUtc()); !st)
            std::fprintf(stderr, "trimlet: recently-used list not updated: %s\n", st.error().message.c_str());
    }

private:
    static QString runFileDialog(QWidget* parent, const FileDialogRequest& r, bool open)
    {
        if (ending)
            return {};
        QFileDialog dialog(parent, r.caption, r.initialFolder);
        dialog.setAcceptMode(open ? QFileDialog::AcceptOpen : QFileDialog::AcceptSave);
        dialog.setFileMode(open ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
        dialog.setNameFilters(r.filters);
        if (r.selectedFilter >= 0 && r.selectedFilter < r.filters.size())
            dialog.selectNameFilter(r.filters[r.selectedFilter]);
        dialog.setDefaultSuffix(r.defaultSuffix);
        if (!r.fileName.isEmpty())
            dialog.selectFile(r.fileName);
        dialog.setOption(QFileDialog::DontConfirmOverwrite, !r.confirmOverwrite);
        dialog.setOption(QFileDialog::ReadOnly, false);
        for (;;) {
            if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
                return {};
            const QString chosen = dialog.selectedFiles().constFirst();
            const QString folder = QFileInfo(chosen).absolutePath();
            if (open || !r.requireExistingFolder || QFileInfo(folder).isDir())
                return chosen;
            QMessageBox::warning(&dialog, messageTitle(MessageKind::Warning),
                                 QCoreApplication::translate("Desktop", "フォルダ %1 は存在しません。")
                                     .arg(QDir::toNativeSeparators(folder)));
        }
    }
};

Desktop* installed = nullptr;

}  // namespace

void setSessionEnding() { ending = true; }

bool sessionEnding() { return ending; }

Desktop& desktop()
{
    static QtDesktop real;
    return installed ? *installed : real;
}

void setDesktop(Desktop* replacement) { installed = replacement; }

}  // namespace trimlet
