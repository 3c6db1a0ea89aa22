#include "tests/forms/fake_desktop.h"

#include <new>

namespace trimlet::test {

namespace {

template <class T>
T takeFront(std::deque<T>& queue, T otherwise)
{
    if (queue.empty())
        return otherwise;
    T value = std::move(queue.front());
    queue.pop_front();
    return value;
}

}  // namespace

void FakeDesktop::message(QWidget*, MessageKind kind, const QString& text) { messages.push_back({kind, text}); }

bool FakeDesktop::askYesNo(QWidget*, MessageKind kind, const QString& text, DefaultAnswer byDefault)
{
    questions.push_back({kind, text, byDefault});
    return takeFront(yesNoAnswers, false);
}

QString FakeDesktop::openFileName(QWidget*, const FileDialogRequest& request)
{
    fileDialogs.push_back(request);
    return takeFront(fileAnswers, QString());
}

QString FakeDesktop::saveFileName(QWidget*, const FileDialogRequest& request)
{
    fileDialogs.push_back(request);
    return takeFront(fileAnswers, QString());
}

QString FakeDesktop::chooseFolder(QWidget*, const QString&, const QString& initialFolder)
{
    folderDialogs << initialFolder;
    return takeFront(folderAnswers, QString());
}

std::optional<QColor> FakeDesktop::chooseColor(QWidget*, const QColor&)
{
    return takeFront(colourAnswers, std::optional<QColor>());
}

std::optional<QString> FakeDesktop::inputText(QWidget*, const QString&, const QString&, const QString&)
{
    return takeFront(textAnswers, std::optional<QString>());
}

bool FakeDesktop::setClipboard(const QImage& image, const QByteArray& gifBytes)
{
    if (clipboardThrows)
        throw std::bad_alloc();
    if (clipboardRefuses)
        return false;
    clipboard = image;
    clipboardGif = gifBytes;
    return true;
}

}  // namespace trimlet::test
