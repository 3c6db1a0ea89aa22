#pragma once

#include <QMainWindow>

namespace trimlet {

class TfrmMain : public QMainWindow {
    Q_OBJECT
public:
    explicit TfrmMain(QWidget* parent = nullptr);
};

}  // namespace trimlet
