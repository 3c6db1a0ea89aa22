#pragma once

#include <QDialog>

namespace trimlet {

class TfrmAboutBox : public QDialog {
    Q_OBJECT
public:
    explicit TfrmAboutBox(QWidget* parent = nullptr);
};

}  // namespace trimlet
