#include "forms/sets/frm_cut_sets.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <algorithm>
#include <string>

namespace trimlet {

namespace {

const char* const kAllScreens = QT_TRANSLATE_NOOP("trimlet::TfrmCutSets", "この画面すべて");

template <class W>
W* named(W* w, const char* name, const QString& hint = {})
{
    w->setObjectName(QLatin1String(name));
    if (!hint.isEmpty())
        w->setToolTip(hint);
    return w;
}

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

// Whether the settings file keeps the name as a key: it reads keys back trimmed and cut at '=',
// and a line that starts with '[', ';' or '#' as no key.
bool storableName(const std::string& s)
{
    return !s.empty() && s.find_first_of(std::string_view("=\r\n\0", 4)) == s.npos && s.front() != '[' &&
           s.front() != ';' && s.front() != '#' && !isBlank(s.front()) && !isBlank(s.back());
}

// The settings file finds a key whatever the case of its ASCII letters: two such names would
// be one set there.
bool sameName(const std::string& a, const std::string& b)
{
    const auto fold = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [&](char x, char y) { return fold(x) == fold(y); });
}

}  // namespace

TfrmCutSets::TfrmCutSets(QWidget* parent, const std::vector<CutSet>& sets, std::vector<SpanScreen> screens)
    : QDialog(parent), screens_(std::move(screens))
{
    setObjectName(QStringLiteral("frmCutSets"));
    setWindowTitle(tr("切り出しセット"));
    for (const CutSet& set : sets) {
        Entry e{QString::fromStdString(set.name), set.kind, {}, {}, QString::number(set.bezelMm)};
        if (set.kind == CutSet::Kind::Span)
            e.spanText = QString::fromStdString(formatSpanScreens(set.screens));
        else
            e.sizesText = QString::fromStdString(formatSizeList(set.sizes));
        entries_.push_back(std::move(e));
    }
    buildControls();
    for (const Entry& e : entries_)
        lstSets->addItem(e.name);
    lstSets->setCurrentRow(entries_.empty() ? -1 : 0);
    showEntry();
    updateState();
}

void TfrmCutSets::buildControls()
{
    lstSets = named(new QListWidget(this), "lstSets", tr("保存されている切り出しセットです"));
    btnAddSet = named(new QPushButton(tr("追加"), this), "btnAddSet", tr("新しいセットを追加します"));
    btnDeleteSet = named(new QPushButton(tr("削除"), this), "btnDeleteSet", tr("選んだセットを削除します"));
    lblSetName = named(new QLabel(tr("名前"), this), "lblSetName");
    edtSetName = named(new QLineEdit(this), "edtSetName", tr("セットの名前です"));
    rdoSetSizes =
        named(new QRadioButton(tr("サイズ"), this), "rdoSetSizes", tr("同じ中心からサイズごとに切り出します"));
    rdoSetSpan =
        named(new QRadioButton(tr("スパン"), this), "rdoSetSpan", tr("複数の画面にまたがる1枚の画像を切り出します"));
    lblSetItems = named(new QLabel(this), "lblSetItems");
    edtSetItems = named(new QLineEdit(this), "edtSetItems", tr("カンマで区切って並べます"));
    lblBezel = named(new QLabel(tr("ベゼル(mm)"), this), "lblBezel");
    edtBezel = named(new QLineEdit(this), "edtBezel", tr("隣り合う画面の映る部分の間隔です"));
    btnFromScreens =
        named(new QPushButton(tr("この画面の配置"), this), "btnFromScreens", tr("いまの画面の並びと大きさを入れます"));
    lblSetError = named(new QLabel(this), "lblSetError");
    btnOk = named(new QPushButton(QStringLiteral("OK"), this), "btnOk");
    btnCancel = named(new QPushButton(tr("キャンセル"), this), "btnCancel");
    lblSetName->setBuddy(edtSetName);
    lblSetItems->setBuddy(edtSetItems);
    lblBezel->setBuddy(edtBezel);
    for (QPushButton* b : {btnAddSet, btnDeleteSet, btnFromScreens, btnCancel})
        b->setAutoDefault(false);
    btnOk->setDefault(true);

    // Room for a span of two screens, as "この画面の配置" writes it.
    const QFontMetrics metrics = fontMetrics();
    edtSetItems->setMinimumWidth(metrics.horizontalAdvance(QStringLiteral("2560x1440+0+0/597,1920x1080+2560+180/527")) +
                                 metrics.averageCharWidth() * 4);
    edtBezel->setFixedWidth(metrics.horizontalAdvance(QStringLiteral("1000.5")) + metrics.averageCharWidth() * 3);
    // The list's own hint is a quarter of a screen; the names want a column, its buttons under it.
    const int buttonText =
        std::max(metrics.horizontalAdvance(btnAddSet->text()), metrics.horizontalAdvance(btnDeleteSet->text()));
    lstSets->setFixedWidth(std::max(metrics.horizontalAdvance(tr("新しいセット")) + metrics.averageCharWidth() * 14,
                                    2 * (buttonText + metrics.averageCharWidth() * 6) + 6));
    for (QPushButton* b : {btnAddSet, btnDeleteSet})
        b->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    for (QLineEdit* field : {edtSetItems, edtBezel})
        field->setAttribute(Qt::WA_InputMethodEnabled, false);

    lblSetError->setWordWrap(true);
    lblSetError->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    lblSetError->setMinimumHeight(metrics.lineSpacing() * 2);
    QPalette warning = lblSetError->palette();
    warning.setColor(QPalette::WindowText, QColor(0xc0, 0, 0));
    lblSetError->setPalette(warning);

    auto* left = new QVBoxLayout;
    left->addWidget(lstSets, 1);
    auto* listButtons = new QHBoxLayout;
    listButtons->setSpacing(6);
    listButtons->addWidget(btnAddSet);
    listButtons->addWidget(btnDeleteSet);
    left->addLayout(listButtons);

    auto* kind = new QHBoxLayout;
    kind->addWidget(rdoSetSizes);
    kind->addWidget(rdoSetSpan);
    kind->addStretch(1);
    auto* bezel = new QHBoxLayout;
    bezel->addWidget(lblBezel);
    bezel->addWidget(edtBezel);
    bezel->addStretch(1);
    bezel->addWidget(btnFromScreens);

    auto* right = new QGridLayout;
    right->setVerticalSpacing(6);
    right->addWidget(lblSetName, 0, 0);
    right->addWidget(edtSetName, 0, 1);
    right->addLayout(kind, 1, 1);
    right->addWidget(lblSetItems, 2, 0, 1, 2);
    right->addWidget(edtSetItems, 3, 0, 1, 2);
    right->addLayout(bezel, 4, 0, 1, 2);
    right->addWidget(lblSetError, 5, 0, 1, 2);
    right->setRowStretch(6, 1);

    auto* columns = new QHBoxLayout;
    columns->addLayout(left);
    columns->addSpacing(6);
    columns->addLayout(right, 1);
    auto* commands = new QHBoxLayout;
    commands->addStretch(1);
    commands->addWidget(btnOk);
    commands->addWidget(btnCancel);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(10, 10, 10, 10);
    column->addLayout(columns, 1);
    column->addLayout(commands);

    QWidget::setTabOrder(lstSets, btnAddSet);
    QWidget::setTabOrder(btnAddSet, btnDeleteSet);
    QWidget::setTabOrder(btnDeleteSet, edtSetName);
    QWidget::setTabOrder(edtSetName, rdoSetSizes);
    QWidget::setTabOrder(rdoSetSizes, rdoSetSpan);
    QWidget::setTabOrder(rdoSetSpan, edtSetItems);
    QWidget::setTabOrder(edtSetItems, edtBezel);
    QWidget::setTabOrder(edtBezel, btnFromScreens);
    QWidget::setTabOrder(btnFromScreens, btnOk);
    QWidget::setTabOrder(btnOk, btnCancel);

    connect(lstSets, &QListWidget::currentRowChanged, this, &TfrmCutSets::lstSetsChange);
    connect(btnAddSet, &QPushButton::clicked, this, &TfrmCutSets::btnAddSetClick);
    connect(btnDeleteSet, &QPushButton::clicked, this, &TfrmCutSets::btnDeleteSetClick);
    connect(btnFromScreens, &QPushButton::clicked, this, &TfrmCutSets::btnFromScreensClick);
    for (QLineEdit* field : {edtSetName, edtSetItems, edtBezel})
        connect(field, &QLineEdit::textChanged, this, &TfrmCutSets::fieldsChange);
    for (QRadioButton* kindButton : {rdoSetSizes, rdoSetSpan})
        connect(kindButton, &QRadioButton::toggled, this, &TfrmCutSets::fieldsChange);
    connect(btnOk, &QPushButton::clicked, this, &TfrmCutSets::accept);
    connect(btnCancel, &QPushButton::clicked, this, &TfrmCutSets::reject);
}

std::optional<std::vector<CutSet>> TfrmCutSets::edit(QWidget* parent, const std::vector<CutSet>& sets,
                                                     std::vector<SpanScreen> screens)
{
    TfrmCutSets dialog(parent, sets, std::move(screens));
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.sets();
}

std::vector<CutSet> TfrmCutSets::sets() const
{
    std::vector<CutSet> out;
    for (const Entry& e : entries_)
        if (std::optional<CutSet> set = setOf(e, nullptr))
            out.push_back(std::move(*set));
    return out;
}

void TfrmCutSets::accept()
{
    // Enter in a field presses the default button only while it is enabled; this holds for
    // every other way in.
    if (btnOk->isEnabled())
        QDialog::accept();
}

TfrmCutSets::Entry* TfrmCutSets::current()
{
    const int row = lstSets->currentRow();
    return row >= 0 && row < int(entries_.size()) ? &entries_[std::size_t(row)] : nullptr;
}

void TfrmCutSets::btnAddSetClick()
{
    const QString base = tr("新しいセット");
    QString name = base;
    for (int n = 2; std::any_of(entries_.begin(), entries_.end(),
                                [&](const Entry& e) { return sameName(e.name.toStdString(), name.toStdString()); });
         ++n)
        name = QStringLiteral("%1 %2").arg(base).arg(n);
    entries_.push_back({name, CutSet::Kind::Sizes, QStringLiteral("1920x1080,1080x2400"), {}, QStringLiteral("0")});
    lstSets->addItem(name);
    lstSets->setCurrentRow(int(entries_.size()) - 1);
    edtSetName->setFocus();
    edtSetName->selectAll();
}

void TfrmCutSets::btnDeleteSetClick()
{
    const int row = lstSets->currentRow();
    if (row < 0 || row >= int(entries_.size()))
        return;
    // The entry goes first: taking the item moves the current row, which shows the entry there.
    entries_.erase(entries_.begin() + row);
    delete lstSets->takeItem(row);
    lstSets->setCurrentRow(std::min(row, int(entries_.size()) - 1));
    showEntry();
    updateState();
    (entries_.empty() ? static_cast<QWidget*>(btnAddSet) : lstSets)->setFocus();
}

void TfrmCutSets::btnFromScreensClick()
{
    Entry* e = current();
    if (!e || screens_.empty())
        return;
    e->kind = CutSet::Kind::Span;
    e->spanText = QString::fromStdString(formatSpanScreens(screens_));
    showEntry();
    updateState();
}

void TfrmCutSets::lstSetsChange()
{
    showEntry();
    updateState();
}

void TfrmCutSets::fieldsChange()
{
    Entry* e = current();
    if (showing_ || !e)
        return;
    const CutSet::Kind kind = rdoSetSpan->isChecked() ? CutSet::Kind::Span : CutSet::Kind::Sizes;
    if (kind != e->kind) {
        e->kind = kind;
        showEntry();  // the other kind's text
    } else {
        e->name = edtSetName->text();
        (kind == CutSet::Kind::Span ? e->spanText : e->sizesText) = edtSetItems->text();
        e->bezelText = edtBezel->text();
        lstSets->currentItem()->setText(e->name);
    }
    updateState();
}

void TfrmCutSets::showEntry()
{
    showing_ = true;
    const Entry* e = current();
    const bool span = e && e->kind == CutSet::Kind::Span;
    edtSetName->setText(e ? e->name : QString());
    (span ? rdoSetSpan : rdoSetSizes)->setChecked(true);
    edtSetItems->setText(!e ? QString() : span ? e->spanText : e->sizesText);
    edtBezel->setText(e ? e->bezelText : QString());
    lblSetItems->setText(span ? tr("画面（横x縦+X+Y/幅mm,…）") : tr("サイズ（横x縦,…）"));
    for (QWidget* w : std::initializer_list<QWidget*>{btnDeleteSet, lblSetName, edtSetName, rdoSetSizes, rdoSetSpan,
                                                      lblSetItems, edtSetItems})
        w->setEnabled(e);
    lblBezel->setEnabled(span);
    edtBezel->setEnabled(span);
    btnFromScreens->setEnabled(e && !screens_.empty());
    showing_ = false;
}

std::optional<CutSet> TfrmCutSets::setOf(const Entry& e, QString* problem) const
{
    const auto fail = [problem](const std::string& message) {
        if (problem)
            *problem = QString::fromStdString(message);
        return std::optional<CutSet>();
    };
    CutSet set;
    set.name = e.name.toStdString();
    set.kind = e.kind;
    if (e.kind == CutSet::Kind::Sizes) {
        Result<std::vector<PieceSize>> sizes = parseSizeList(e.sizesText.toStdString());
        if (!sizes)
            return fail(sizes.error().message);
        set.sizes = std::move(sizes).value();
        return set;
    }
    Result<std::vector<SpanScreen>> screens = parseSpanScreens(e.spanText.toStdString());
    if (!screens)
        return fail(screens.error().message);
    set.screens = std::move(screens).value();
    // An empty field is no gap, as a span given without one on the command line.
    if (!e.bezelText.trimmed().isEmpty()) {
        Result<double> bezel = parseBezel(e.bezelText.trimmed().toStdString());
        if (!bezel)
            return fail(bezel.error().message);
        set.bezelMm = bezel.value();
    }
    // Screens that read but stand apart make no picture.
    if (Result<SpanLayout> layout = spanLayout(set.screens, set.bezelMm); !layout)
        return fail(layout.error().message);
    return set;
}

QString TfrmCutSets::problemOf(std::size_t index) const
{
    const Entry& e = entries_[index];
    const std::string name = e.name.toStdString();
    if (name.empty())
        return tr("名前を入れてください");
    // The built-in set is known by its Japanese name in the file and by its name in the window.
    if (e.name == QString::fromUtf8(kAllScreens) || e.name == tr(kAllScreens))
        return tr("「%1」は組み込みのセットの名前です").arg(e.name);
    if (!storableName(name))
        return tr("名前に = や改行は使えず、[ ; # で始めることも前後に空白を置くこともできません");
    for (std::size_t i = 0; i < entries_.size(); ++i)
        if (i != index && sameName(entries_[i].name.toStdString(), name))
            return tr("同じ名前のセットがあります");
    QString problem;
    setOf(e, &problem);
    return problem;
}

void TfrmCutSets::updateState()
{
    const int row = lstSets->currentRow();
    QString shown;
    bool valid = true;
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        const QString problem = problemOf(i);
        if (problem.isEmpty())
            continue;
        valid = false;
        // The selected set's problem first; another's, named, tells why OK is disabled.
        if (int(i) == row)
            shown = problem;
        else if (shown.isEmpty())
            shown = tr("「%1」: %2").arg(entries_[i].name, problem);
    }
    lblSetError->setText(shown);
    btnOk->setEnabled(valid);
}

}  // namespace trimlet
