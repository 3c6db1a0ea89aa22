#pragma once

#include <QDialog>

class QLabel;

namespace trimlet {

// The version compiled into this build, e.g. "2.2.0.403".
QString ReadFileVersion();

// The version window: program name and version, rights, the project page and library credits.
class TfrmAboutBox : public QDialog {
    Q_OBJECT
public:
    explicit TfrmAboutBox(QWidget* parent = nullptr);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void lblUrlClick();

    QLabel* lblUrl = nullptr;
};

}  // namespace trimlet
