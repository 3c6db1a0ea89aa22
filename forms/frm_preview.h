#pragma once

#include <QDialog>

namespace trimlet {

class TfrmPreview : public QDialog {
    Q_OBJECT
public:
    explicit TfrmPreview(QWidget* parent = nullptr);
};

}  // namespace trimlet
