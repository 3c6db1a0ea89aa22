#pragma once

#include <QDialog>

namespace trimlet {

class TfrmRotFree : public QDialog {
    Q_OBJECT
public:
    explicit TfrmRotFree(QWidget* parent = nullptr);
};

}  // namespace trimlet
