#pragma once

#include <QDialog>

#include "codecs/picture.h"

namespace trimlet {

// What the preview does once it has built its output.
enum OutputMode { omPreview = 0, omSave = 1, omCopy = 2, omCutOnly = 3 };

class TfrmPreview : public QDialog {
    Q_OBJECT
public:
    explicit TfrmPreview(QWidget* parent = nullptr);

    // The cut result the main window hands over, and what to do with it.
    Picture imgCutSrc;
    OutputMode outputMode = omPreview;

    // Builds the output for outputMode and carries out the mode's action.
    void FormShow();

protected:
    void showEvent(QShowEvent* event) override;
};

}  // namespace trimlet
