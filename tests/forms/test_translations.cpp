// The windows in English: the translation file holds a finished English text for every text
// the sources give to tr(), no window shows a Japanese or untranslated text, no two captions
// of a page share an & key, and every caption fits its control at the smallest window size,
// in English as in Japanese.

#include <QtTest>

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QDirIterator>
#include <QGroupBox>
#include <QRadioButton>
#include <QRegularExpression>
#include <QStyle>
#include <QTabBar>
#include <QTranslator>
#include <QXmlStreamReader>
#include <map>
#include <memory>
#include <set>

#include "forms/about/frm_about_box.h"
#include "forms/main/preset_menu.h"
#include "forms/preview/frm_preview.h"
#include "forms/rotation/frm_rot_free.h"
#include "platform/desktop.h"
#include "settings/cut_size_presets.h"
#include "tests/forms/test_main_window.h"

using namespace trimlet;

namespace {

const QString kSourceDir = QStringLiteral(TRIMLET_SOURCE_DIR);

bool isJapanese(char32_t c)
{
    return (c >= 0x3000 && c <= 0x30FF) || (c >= 0x3400 && c <= 0x4DBF) || (c >= 0x4E00 && c <= 0x9FFF) ||
           (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFF00 && c <= 0xFFEF);
}

bool hasJapanese(const QString& text)
{
    const QList<uint> ucs4 = text.toUcs4();
    return std::any_of(ucs4.begin(), ucs4.end(), [](uint c) { return isJapanese(c); });
}

struct TsMessage {
    QString context, source, translation, type;
};

std::vector<TsMessage> readTs(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        qFatal("cannot read %s", qPrintable(path));
    std::vector<TsMessage> messages;
    QXmlStreamReader xml(&file);
    QString context;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (xml.name() == QLatin1String("name")) {
            context = xml.readElementText();
        } else if (xml.name() == QLatin1String("source")) {
            messages.push_back({context, xml.readElementText(), {}, {}});
        } else if (xml.name() == QLatin1String("translation") && !messages.empty()) {
            messages.back().type = xml.attributes().value(QLatin1String("type")).toString();
            messages.back().translation = xml.readElementText();
        }
    }
    if (xml.hasError())
        qFatal("%s: %s", qPrintable(path), qPrintable(xml.errorString()));
    return messages;
}

const std::vector<TsMessage>& englishMessages()
{
    static const std::vector<TsMessage> messages = readTs(kSourceDir + QStringLiteral("/translations/trimlet_en.ts"));
    return messages;
}

// The %1 %2 … a text fills in, in order of number.
QStringList placeholders(const QString& text)
{
    QStringList found;
    for (const auto& m : QRegularExpression(QStringLiteral("%\\d")).globalMatch(text))
        found << m.captured();
    found.sort();
    return found;
}

// The & keys of a caption ("&&" is a plain ampersand).
int mnemonicCount(const QString& text) { return int(QString(text).remove(QStringLiteral("&&")).count(u'&')); }

QChar mnemonic(const QString& text)
{
    const int at = QString(text).replace(QStringLiteral("&&"), QStringLiteral("__")).indexOf(u'&');
    return at >= 0 && at + 1 < text.size() ? text.at(at + 1).toUpper() : QChar();
}

// The program's English texts while it lives, as installQtTranslations installs them.
class English {
public:
    English()
    {
        if (!translator_.load(QStringLiteral("trimlet_en"), QStringLiteral(":/i18n")))
            qFatal("the English translation is not built into the program");
        QCoreApplication::installTranslator(&translator_);
    }
    ~English() { QCoreApplication::removeTranslator(&translator_); }
    English(const English&) = delete;
    English& operator=(const English&) = delete;

private:
    QTranslator translator_;
};

// The four windows the program shows, built as main() builds them.
struct Windows {
    test::FakeDesktop fake;
    test::TempDir temp;
    test::TestMain frm;
    TfrmPreview preview;
    TfrmRotFree rotFree;
    TfrmAboutBox about;

    Windows()
    {
        frm.setPreviewWindow(&preview);
        frm.setRotFreeWindow(&rotFree);
        preview.setTempJpeg(temp.file("trimlet.jpg"));
    }
    std::vector<QWidget*> all() { return {&frm, &preview, &rotFree, &about}; }
};

// Every text a person can meet on a widget or an action of window, with where it was found.
std::vector<std::pair<QString, QString>> shownTexts(QWidget& window)
{
    std::vector<std::pair<QString, QString>> texts;
    auto add = [&](const QObject* owner, const char* what, const QString& text) {
        if (!text.isEmpty())
            texts.emplace_back(owner->objectName() + QLatin1Char('.') + QLatin1String(what), text);
    };
    QList<QWidget*> widgets = window.findChildren<QWidget*>();
    widgets.prepend(&window);
    for (const QWidget* w : widgets) {
        add(w, "windowTitle", w->windowTitle());
        add(w, "toolTip", w->toolTip());
        add(w, "statusTip", w->statusTip());
        add(w, "whatsThis", w->whatsThis());
        if (const auto* l = qobject_cast<const QLabel*>(w))
            add(w, "text", l->text());
        if (const auto* b = qobject_cast<const QAbstractButton*>(w))
            add(w, "text", b->text());
        if (const auto* g = qobject_cast<const QGroupBox*>(w))
            add(w, "title", g->title());
        if (const auto* e = qobject_cast<const QLineEdit*>(w))
            add(w, "placeholderText", e->placeholderText());
        if (const auto* c = qobject_cast<const QComboBox*>(w))
            for (int i = 0; i < c->count(); ++i)
                add(w, "item", c->itemText(i));
        if (const auto* t = qobject_cast<const QTabWidget*>(w))
            for (int i = 0; i < t->count(); ++i) {
                add(w, "tabText", t->tabText(i));
                add(w, "tabToolTip", t->tabToolTip(i));
            }
        if (const auto* m = qobject_cast<const QMenu*>(w))
            add(w, "title", m->title());
    }
    for (const QAction* a : window.findChildren<QAction*>()) {
        add(a, "text", a->text());
        add(a, "toolTip", a->toolTip());
        add(a, "statusTip", a->statusTip());
    }
    return texts;
}

void verifyEnglish(const std::vector<std::pair<QString, QString>>& texts)
{
    std::set<QString> sources;
    for (const TsMessage& m : englishMessages())
        sources.insert(m.source);
    for (const auto& [where, text] : texts) {
        QVERIFY2(!hasJapanese(text), qPrintable(where + QStringLiteral(": ") + text));
        QVERIFY2(!sources.count(text), qPrintable(where + QStringLiteral(" is untranslated: ") + text));
    }
}

// The pages a person sees at once: the main window with each of its tabs, and each other window.
template <class Check>
void forEachPage(Windows& w, const Check& check)
{
    w.frm.resize(w.frm.minimumSize());
    w.frm.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w.frm));
    QCOMPARE(w.frm.size(), QSize(800, 480));
    for (int tab = 0; tab < w.frm.pcEdit->count(); ++tab) {
        w.frm.pcEdit->setCurrentIndex(tab);
        QCoreApplication::processEvents();
        check(w.frm, QStringLiteral("main window, tab %1").arg(tab));
    }
    w.frm.hide();
    w.preview.resize(w.preview.minimumSize());
    for (QWidget* window : std::initializer_list<QWidget*>{&w.preview, &w.rotFree, &w.about}) {
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window));
        check(*window, window->objectName());
        window->hide();
    }
}

// Whether text would be cut in widget: its caption's size hint against the widget's size.
QString cutCaption(const QWidget& widget)
{
    const QString name =
        widget.objectName().isEmpty() ? QString::fromLatin1(widget.metaObject()->className()) : widget.objectName();
    auto report = [&](const QString& text, QSize needed) {
        return QStringLiteral("%1 \"%2\" needs %3×%4, has %5×%6")
            .arg(name, text)
            .arg(needed.width())
            .arg(needed.height())
            .arg(widget.width())
            .arg(widget.height());
    };
    if (const auto* l = qobject_cast<const QLabel*>(&widget)) {
        if (l->text().isEmpty() || !l->pixmap().isNull())
            return {};
        const QSize needed = l->wordWrap() ? QSize(0, l->heightForWidth(l->width())) : l->sizeHint();
        return needed.width() <= l->width() && needed.height() <= l->height() ? QString() : report(l->text(), needed);
    }
    if (const auto* b = qobject_cast<const QAbstractButton*>(&widget)) {
        if (b->text().isEmpty())
            return {};
        // The caption's own width: the style's size hints ask for margins that the window's
        // fixed-size buttons, as designed, do not give; a frame takes a pixel or two a side. A
        // checked toggle shows its caption bold.
        QFont font = b->font();
        font.setBold(b->isCheckable() && qobject_cast<const QToolButton*>(b));
        const int textWidth = QFontMetrics(font).horizontalAdvance(QString(b->text()).remove(u'&'));
        const QStyle* style = b->style();
        const bool indicator = qobject_cast<const QCheckBox*>(b) || qobject_cast<const QRadioButton*>(b);
        const int needed = indicator ? style->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, b) +
                                           style->pixelMetric(QStyle::PM_CheckBoxLabelSpacing, nullptr, b) + textWidth
                                     : textWidth + (qobject_cast<const QToolButton*>(b) ? 2 : 4);
        return needed <= b->width() ? QString() : report(b->text(), {needed, b->height()});
    }
    if (const auto* g = qobject_cast<const QGroupBox*>(&widget)) {
        const int needed = g->fontMetrics().horizontalAdvance(g->title()) + 8;
        return g->title().isEmpty() || needed <= g->width() ? QString() : report(g->title(), {needed, g->height()});
    }
    return {};
}

// Where a widget's caption is drawn in its parent: a label's text where its alignment puts it,
// anything else all of it; less a pixel a side, where frames may touch.
QRect captionRect(const QWidget& widget)
{
    QRect r = widget.geometry();
    if (const auto* l = qobject_cast<const QLabel*>(&widget); l && !l->wordWrap())
        r = QStyle::alignedRect(l->layoutDirection(), l->alignment(), l->sizeHint().boundedTo(l->size()), r);
    return r.adjusted(1, 1, -1, -1);
}

void verifyCaptionsFit(QWidget& window, const QString& page)
{
    for (const QWidget* w : window.findChildren<QWidget*>()) {
        if (!w->isVisibleTo(&window))
            continue;
        const QString cut = cutCaption(*w);
        QVERIFY2(cut.isEmpty(), qPrintable(page + QStringLiteral(": ") + cut));
        // Captions side by side must not cover each other (the file name's shadow is meant to).
        if (w->objectName() == QLatin1String("lblFileNameB") || !w->parentWidget())
            continue;
        for (const QWidget* other : w->parentWidget()->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            if (other == w || !other->isVisibleTo(&window) || other->objectName() == QLatin1String("lblFileNameB"))
                continue;
            const bool captioned = qobject_cast<const QLabel*>(w) || qobject_cast<const QAbstractButton*>(w);
            const bool otherCaptioned =
                qobject_cast<const QLabel*>(other) || qobject_cast<const QAbstractButton*>(other);
            if (captioned && otherCaptioned && w < other)
                QVERIFY2(!captionRect(*w).intersects(captionRect(*other)),
                         qPrintable(page + QStringLiteral(": ") + w->objectName() + QStringLiteral(" overlaps ") +
                                    other->objectName()));
        }
    }
    if (auto* tabs = window.findChild<QTabWidget*>()) {
        const QTabBar* bar = tabs->tabBar();
        for (int i = 0; i < bar->count(); ++i) {
            const int needed = bar->fontMetrics().horizontalAdvance(QString(bar->tabText(i)).remove(u'&')) +
                               bar->iconSize().width() + 8;
            QVERIFY2(needed <= bar->tabRect(i).width(), qPrintable(page + QStringLiteral(": tab ") + bar->tabText(i)));
        }
    }
}

void verifyKeysDiffer(QWidget& window, const QString& page)
{
    std::map<QChar, QString> taken;
    auto take = [&](const QString& caption) {
        const QChar key = mnemonic(caption);
        if (key.isNull())
            return;
        const auto [at, added] = taken.emplace(key, caption);
        QVERIFY2(added, qPrintable(page + QStringLiteral(": ") + caption + QStringLiteral(" and ") + at->second));
    };
    for (const QAbstractButton* b : window.findChildren<QAbstractButton*>())
        if (b->isVisibleTo(&window))
            take(b->text());
    if (const auto* tabs = window.findChild<QTabWidget*>())
        for (int i = 0; i < tabs->count(); ++i)
            take(tabs->tabText(i));
}

// The string literals of a C++ source with Japanese in them, each with the code just before
// it; comments left out.
std::vector<std::pair<QString, QString>> japaneseLiterals(const QString& code)
{
    std::vector<std::pair<QString, QString>> found;
    QString plain;  // the code without comments and literals, for what precedes a literal
    for (qsizetype i = 0; i < code.size();) {
        if (code.mid(i, 2) == QLatin1String("//")) {
            i = code.indexOf(u'\n', i);
            if (i < 0)
                break;
        } else if (code.mid(i, 2) == QLatin1String("/*")) {
            i = code.indexOf(QLatin1String("*/"), i) + 2;
        } else if (code[i] == QLatin1Char('\'') || code[i] == QLatin1Char('"')) {
            const QChar quote = code[i];
            qsizetype end = i + 1;
            while (end < code.size() && code[end] != quote)
                end += code[end] == u'\\' ? 2 : 1;
            const QString literal = code.mid(i + 1, end - i - 1);
            if (hasJapanese(literal))
                found.emplace_back(literal, plain.right(120).simplified());
            plain += QLatin1String("\"\"");
            i = end + 1;
        } else {
            plain += code[i++];
        }
    }
    return found;
}

}  // namespace

class TranslationsTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        // The program's font, as main() sets it: the captions are measured in it.
        QFont font(QStringLiteral("IPAPGothic"));
        font.setPixelSize(12);
        QApplication::setFont(font);
    }

    void translationFileIsFinishedEnglish()
    {
        const std::vector<TsMessage>& messages = englishMessages();
        QVERIFY(messages.size() > 200);
        for (const TsMessage& m : messages) {
            const QString where = m.context + QStringLiteral(": ") + m.source;
            QVERIFY2(m.type.isEmpty(), qPrintable(where + QStringLiteral(" is ") + m.type));
            QVERIFY2(!m.translation.isEmpty(), qPrintable(where));
            QVERIFY2(!hasJapanese(m.translation), qPrintable(where + QStringLiteral(" → ") + m.translation));
            QVERIFY2(hasJapanese(m.source), qPrintable(where + QStringLiteral(" needs no translation")));
            QCOMPARE(placeholders(m.translation), placeholders(m.source));
            QVERIFY2(mnemonicCount(m.translation) == mnemonicCount(m.source), qPrintable(where));
            QCOMPARE(m.translation.count(u'\n'), m.source.count(u'\n'));
        }
    }

    // What lupdate cannot see it cannot put into the file: every Japanese text of the window
    // program goes to tr(), translate() or QT_TRANSLATE_NOOP(), or continues such a literal.
    void everyJapaneseTextOfTheSourcesIsTranslatable()
    {
        int checked = 0;
        for (const char* folder : {"app", "forms", "platform"}) {
            QDirIterator files(kSourceDir + QLatin1Char('/') + QLatin1String(folder), {"*.cpp", "*.h"}, QDir::Files,
                               QDirIterator::Subdirectories);
            while (files.hasNext()) {
                QFile file(files.next());
                QVERIFY(file.open(QIODevice::ReadOnly));
                for (const auto& [literal, before] : japaneseLiterals(QString::fromUtf8(file.readAll()))) {
                    static const QRegularExpression translated(QStringLiteral(
                        "(\\btr\\( ?|\\btranslate\\( ?\"[^\"]*\", ?|QT_TRANSLATE_NOOP\\( ?\"[^\"]*\", ?|\"\")$"));
                    QVERIFY2(translated.match(before).hasMatch(),
                             qPrintable(file.fileName() + QStringLiteral(": ") + literal));
                    ++checked;
                }
            }
        }
        QVERIFY(checked > 200);
    }

    void englishWindowsShowNoJapanese()
    {
        const English english;
        Windows w;
        // Texts that are set as they are needed: the preset menu's captions, a status line and
        // the titles of message boxes.
        w.frm.btnSizeLoad->click();
        w.frm.popTpl->close();
        for (int i = 0; i < kCutSizePresetCount; ++i)
            QVERIFY2(!w.frm.popTplItems[i]->text().isEmpty(), qPrintable(QString::number(i)));
        for (MessageKind kind :
             {MessageKind::Warning, MessageKind::Error, MessageKind::Information, MessageKind::Confirmation})
            verifyEnglish({{QStringLiteral("messageTitle"), messageTitle(kind)}});
        for (QWidget* window : w.all())
            verifyEnglish(shownTexts(*window));

        w.frm.btnPaste->click();
        QCOMPARE(w.fake.messages.back().text, QStringLiteral("There is no picture on the clipboard."));
        w.fake.clipboard = QImage(40, 30, QImage::Format_RGB32);
        w.fake.clipboard.fill(Qt::red);
        w.frm.btnPaste->click();
        QCOMPARE(w.frm.statusText(), QStringLiteral("Pasted from the clipboard"));
        QCOMPARE(w.frm.lblFileNameF->text(), QStringLiteral("Pasted from the clipboard"));
        w.frm.btnTmpSave[1]->click();
        QCOMPARE(w.frm.statusText(), QStringLiteral("Kept the whole picture in slot [2]"));
        w.frm.btnRotL->click();
        QCOMPARE(w.frm.statusText(), QStringLiteral("Turned 90° left"));
        w.frm.LoadPictureFile(w.temp.file("missing.png"));
        QCOMPARE(w.fake.messages.back().text, QStringLiteral("Could not open missing.png."));
    }

    void japaneseWindowsShowTheSourceTexts()
    {
        Windows w;
        QCOMPARE(w.frm.pcEdit->tabText(2), QStringLiteral("連結モード(&A)"));
        QCOMPARE(w.rotFree.windowTitle(), QStringLiteral("自由回転"));
        QCOMPARE(messageTitle(MessageKind::Warning), QStringLiteral("警告"));
        w.frm.btnSizeLoad->click();
        w.frm.popTpl->close();
        QCOMPARE(w.frm.popTplItems[0]->text(), QStringLiteral("横VGA(640×480)"));
    }

    void builtInPresetNamesReadInEnglish()
    {
        const English english;
        for (int i = 0; i < kCutSizePresetCount; ++i) {
            const std::string name = builtInCutSizePreset(i).name;
            QVERIFY2(!hasJapanese(presetName(name)), name.c_str());
        }
        QCOMPARE(presetMenuCaption(builtInCutSizePreset(0)), QStringLiteral("Landscape VGA(640×480)"));
        // A name of the user's own stays as typed.
        QCOMPARE(presetName("壁紙"), QStringLiteral("壁紙"));
    }

    void keysOfAPageDiffer_data() { languages(); }
    void keysOfAPageDiffer()
    {
        QFETCH(bool, inEnglish);
        const std::unique_ptr<English> english(inEnglish ? new English : nullptr);
        Windows w;
        forEachPage(w, verifyKeysDiffer);
    }

    void captionsFitAtTheSmallestSize_data() { languages(); }
    void captionsFitAtTheSmallestSize()
    {
        QFETCH(bool, inEnglish);
        const std::unique_ptr<English> english(inEnglish ? new English : nullptr);
        Windows w;
        forEachPage(w, verifyCaptionsFit);
    }

private:
    static void languages()
    {
        QTest::addColumn<bool>("inEnglish");
        QTest::newRow("Japanese") << false;
        QTest::newRow("English") << true;
    }
};

QTEST_MAIN(TranslationsTest)
#include "test_translations.moc"
