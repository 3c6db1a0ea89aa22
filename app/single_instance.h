#pragma once

#include <QObject>

namespace trimlet {

class SingleInstance : public QObject {
    Q_OBJECT
public:
    explicit SingleInstance(QObject* parent = nullptr);
};

}  // namespace trimlet
