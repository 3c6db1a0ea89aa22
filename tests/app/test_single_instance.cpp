#include <QtTest>

#include "app/single_instance.h"

class SingleInstanceTest : public QObject {
    Q_OBJECT
private slots:
    void builds() { trimlet::SingleInstance instance; }
};

QTEST_MAIN(SingleInstanceTest)
#include "test_single_instance.moc"
