#pragma once
// The cut sets window: edits the stored sets as values. The caller reads and writes the
// settings file; the window only hands the edited sets back.

#include <QDialog>
#include <QString>
#include <optional>
#include <vector>

#include "document/cut_set.h"

class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;

namespace trimlet {

class TfrmCutSets : public QDialog {
    Q_OBJECT
public:
    // screens: the desktop's, for "この画面の配置".
    TfrmCutSets(QWidget* parent, const std::vector<CutSet>& sets, std::vector<SpanScreen> screens);

    // The sets as edited, in the list's order. One that does not read is left out; OK is
    // disabled while there is one.
    std::vector<CutSet> sets() const;
    // Opens the window modally: the edited sets, or nullopt when cancelled.
    static std::optional<std::vector<CutSet>> edit(QWidget* parent, const std::vector<CutSet>& sets,
                                                   std::vector<SpanScreen> screens);

    void btnAddSetClick();
    void btnDeleteSetClick();
    void btnFromScreensClick();

    // Controls, named as everywhere in the program.
    QListWidget* lstSets = nullptr;
    QPushButton *btnAddSet = nullptr, *btnDeleteSet = nullptr;
    QLabel* lblSetName = nullptr;
    QLineEdit* edtSetName = nullptr;
    QRadioButton *rdoSetSizes = nullptr, *rdoSetSpan = nullptr;
    QLabel* lblSetItems = nullptr;
    QLineEdit* edtSetItems = nullptr;
    QLabel* lblBezel = nullptr;
    QLineEdit* edtBezel = nullptr;
    QPushButton* btnFromScreens = nullptr;
    QLabel* lblSetError = nullptr;
    QPushButton *btnOk = nullptr, *btnCancel = nullptr;

public slots:
    void accept() override;

private:
    // A set as its fields hold it; each kind keeps its own text, so that a look at the other
    // kind loses nothing.
    struct Entry {
        QString name;
        CutSet::Kind kind = CutSet::Kind::Sizes;
        QString sizesText;
        QString spanText;
        QString bezelText;
    };

    void buildControls();
    void lstSetsChange();
    void fieldsChange();
    void showEntry();
    void updateState();
    QString problemOf(std::size_t index) const;
    std::optional<CutSet> setOf(const Entry& entry, QString* problem) const;
    Entry* current();

    std::vector<Entry> entries_;
    std::vector<SpanScreen> screens_;
    bool showing_ = false;  // the fields are being filled from an entry
};

}  // namespace trimlet
