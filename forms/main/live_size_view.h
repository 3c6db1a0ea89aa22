#pragma once
// The console's live size: the exact byte count of the piece as it would be saved, measured
// once a burst of changes is over, and the size limit whose measurement chooses the quality.

#include <QObject>
#include <functional>
#include <optional>

#include "document/work_values.h"
#include "forms/main/live_size.h"
#include "forms/widgets/guarded.h"

class QLabel;
class QLineEdit;
class QSlider;
class QTimer;

namespace trimlet {

class UpDown;

class LiveSizeView : public QObject {
    Q_OBJECT

public:
    struct Controls {
        QLabel* figure;    // lblLiveSize
        QSlider* quality;  // shows the quality the limit chose
        QLineEdit* maxKbEdit;
        UpDown* maxKb;
    };
    // piece: what the frame cuts now, nothing while there is no picture to measure; choice:
    // the console's output choice. Both are asked when a measurement starts.
    LiveSizeView(QObject* parent, const Controls& controls, std::function<std::optional<PieceRequest>()> piece,
                 std::function<OutputChoice()> choice, const FailureReport& failure);

    // Asks for a new measurement once the current burst of changes is over.
    void request();
    LiveSizeWorker& worker() const { return *worker_; }

private:
    void start();
    void show(const LiveSizeResult& result);

    Controls c_;
    std::function<std::optional<PieceRequest>()> piece_;
    std::function<OutputChoice()> choice_;
    LiveSizeWorker* worker_;
    QTimer* timer_;
};

}  // namespace trimlet
