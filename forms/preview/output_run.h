#pragma once
// One output of a cut: built the way it will be written, then saved or copied, with every
// message the user is told on the way. The preview window shows a run's build and calls its
// save; the main window's direct save and copy carry a run out with no window at all.

#include <QCoreApplication>
#include <QString>
#include <functional>
#include <string>

#include "codecs/picture.h"
#include "document/output_job.h"
#include "forms/preview/output_options.h"
#include "platform/desktop.h"

class QWidget;

namespace trimlet {

class OutputRun {
    Q_DECLARE_TR_FUNCTIONS(trimlet::OutputRun)
public:
    // Where a run's reports go.
    struct Reporter {
        std::function<QWidget*()> dialogParent;         // owns the message boxes and the save dialog
        std::function<void(const QString&)> status;     // a line for the main window's status bar
        std::function<void(const std::string&)> saved;  // written to path, after its status line
        std::function<void()> copied;                   // on the clipboard, after its status line
    };

    OutputRun();
    void setReporter(Reporter reporter) { reporter_ = std::move(reporter); }

    // The cut, the options to write it with and, when it was cut from a region, the region in
    // trimlet-cli's terms ("--cut 240x320@75:120,40"). Forgets the previous build.
    void setCut(Picture picture, OutputOptions options, QString cutCommand = {});
    const Picture& cutResult() const { return cut_; }
    const OutputOptions& options() const { return options_; }
    // A report followed by the cut command, when the result was cut from a region.
    QString withCutCommand(const QString& report) const;

    // Where builds write the encoded output; tests point it into a folder of their own.
    const std::string& tempJpeg() const { return tempJpeg_; }
    void setTempJpeg(std::string path) { tempJpeg_ = std::move(path); }

    enum class Stage {
        Refused,  // the temporary file or the free space failed; nothing was encoded
        Failed,   // the encode failed or broke the size limit
        Built,
    };
    struct Outcome {
        Stage stage = Stage::Refused;
        QString failure;  // what to tell; empty when already told (the free-space warning)
    };
    // Checks the temporary file and the free space, then builds in the options' format. The size
    // limit holds only when writesFile: a copy writes none.
    Outcome build(bool writesFile);
    bool built() const { return built_; }
    // Forgets the build after a failure, so that nothing stale is saved or copied.
    void forget() { built_ = false; }
    OutputFormat builtFormat() const { return builtFormat_; }
    const OutputBuild& output() const { return build_; }
    // The build's size, quality and file size, as the preview's status line shows them.
    QString sizeText() const;

    // Save (saveAs: under the name the save dialog gives, else the next serial name) and copy of
    // the build. False when nothing was done, after telling why.
    bool save(bool saveAs);
    bool copy();
    // Builds and carries out mode with no window: what the direct save and copy commands do.
    // A failure that escapes leaves no build behind.
    void carryOut(OutputMode mode);

    // A message box and, so that no earlier success stays there, its first line as status.
    void report(MessageKind kind, const QString& text);

private:
    void act(OutputMode mode);
    bool enoughFreeSpace();
    QString tempFailureText() const;
    static QString saveFailureText(const std::string& name, IoCause cause);
    QString buildFailureText() const;
    QString overLimitText() const;
    // The cut is a JPEG file copied from the document's blocks, built as it is.
    bool copiedBlocks() const;
    // The serial save of a set: the cut and every other piece, all or none.
    bool saveSet();
    SerialPlace serialPlace() const;
    OutputFile outputFile() const;
    bool isTempJpeg(const std::string& chosen) const;
    bool hasOutput();
    QWidget* dialogParent() const { return reporter_.dialogParent ? reporter_.dialogParent() : nullptr; }
    void status(const QString& text) const;

    Reporter reporter_;
    std::string tempJpeg_;
    Picture cut_;
    OutputOptions options_;
    QString cutCommand_;
    // What the last build made, so that a save writes what was shown, never a stale file.
    bool built_ = false;
    bool encoded_ = false;  // the build got as far as the encoder
    OutputFormat builtFormat_ = OutputFormat::Jpeg;
    OutputBuild build_;
};

}  // namespace trimlet
