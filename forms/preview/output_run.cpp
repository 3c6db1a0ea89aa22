#include "forms/preview/output_run.h"

#include <filesystem>

#include "base/byte_path.h"
#include "forms/widgets/guarded.h"
#include "forms/widgets/path_text.h"
#include "platform/paths.h"
#include "platform/qimage_bridge.h"

namespace trimlet {

OutputRun::OutputRun() : tempJpeg_(tempJpegPath()) {}

void OutputRun::setCut(Picture picture, OutputOptions options, QString cutCommand)
{
    cut_ = std::move(picture);
    options_ = std::move(options);
    cutCommand_ = std::move(cutCommand);
    built_ = false;
    encoded_ = false;
}

QString OutputRun::withCutCommand(const QString& text) const
{
    return cutCommand_.isEmpty() ? text : tr("%1（%2）").arg(text, cutCommand_);
}

void OutputRun::status(const QString& text) const
{
    if (reporter_.status)
        reporter_.status(text);
}

void OutputRun::report(MessageKind kind, const QString& text)
{
    desktop().message(dialogParent(), kind, text);
    status(text.section(QLatin1Char('\n'), 0, 0));
}

OutputRun::Outcome OutputRun::build(bool writesFile)
{
    built_ = false;
    encoded_ = false;
    builtFormat_ = options_.format;
    build_ = {};
    if (!canWriteFile(tempJpeg_))
        return {Stage::Refused, tempFailureText()};
    if (!enoughFreeSpace())
        return {Stage::Refused, {}};
    // The limit is the saved file's; a copy or a cut to keep editing writes no file.
    const std::uint64_t limit = writesFile ? limitBytes(options_.maxKb) : 0;
    build_ = copiedBlocks() ? buildJpegFile(cut_.fileBytes(), limit, tempJpeg_)
             : recompressesJpeg(cut_, builtFormat_)
                 ? buildJxlOfJpeg(cut_, options_.quality, limit, tempJpeg_)
                 : buildOutput(cut_.bitmap(), builtFormat_, options_.quality, limit, tempJpeg_);
    encoded_ = builtFormat_ != OutputFormat::Bmp && build_.failure != BuildFailure::SideTooLong;
    if (build_.failure != BuildFailure::None)
        return {Stage::Failed, buildFailureText()};
    built_ = true;
    return {Stage::Built, {}};
}

bool OutputRun::enoughFreeSpace()
{
    const QString folder = displayPath(folderPart(absoluteLocalPath(tempJpeg_)));
    if (enoughSpaceFor(desktop().freeSpace(folder), options_.documentPath))
        return true;
    report(MessageKind::Warning, tr("ドライブ%1の空き容量が充分でありません。\n作業を中断します。").arg(folder));
    return false;
}

QString OutputRun::tempFailureText() const
{
    return tr("一時ファイル %1 を書き込めませんでした。\n書き込みの権限とディスクの空き容量を確認してください。")
        .arg(displayPath(tempJpeg_));
}

// A full disk, and whatever the system did not name, keep the program's own words.
QString OutputRun::saveFailureText(const std::string& name, IoCause cause)
{
    const QString shown = displayPath(name);
    switch (cause) {
    case IoCause::NotAllowed:
        return tr("ファイル %1 を保存できませんでした。\nフォルダに書き込む権限がありません。").arg(shown);
    case IoCause::NameTooLong: return tr("ファイル %1 を保存できませんでした。\nファイル名が長すぎます。").arg(shown);
    case IoCause::NoFolder:
        return tr("ファイル %1 を保存できませんでした。\n保存先のフォルダがありません。").arg(shown);
    case IoCause::DiskFull:
    case IoCause::Unknown: break;
    }
    return tr("ファイル %1 の保存に失敗しました。\nディスクの空き容量が充分かどうかを確認してください。").arg(shown);
}

QString OutputRun::overLimitText() const
{
    const std::uint64_t kilobytes = kilobytesOf(build_.encoded.bytes.size());
    if (hasQuality(builtFormat_) && !copiedBlocks())
        return tr("画質を1にしてもファイルサイズ(%1kB)が上限の%2kBを超えます。\n保存しません。")
            .arg(kilobytes)
            .arg(options_.maxKb);
    return tr("ファイルサイズ(%1kB)が上限の%2kBを超えます。\n保存しません。").arg(kilobytes).arg(options_.maxKb);
}

QString OutputRun::buildFailureText() const
{
    const int w = cut_.width(), h = cut_.height();
    const bool jpeg = builtFormat_ == OutputFormat::Jpeg;
    const QString name = builtFormat_ == OutputFormat::Bmp    ? QStringLiteral("BMP")
                         : builtFormat_ == OutputFormat::Webp ? QStringLiteral("WebP")
                         : builtFormat_ == OutputFormat::Jxl  ? QStringLiteral("JPEG XL")
                                                              : QStringLiteral("PNG");
    switch (build_.failure) {
    case BuildFailure::None: break;
    case BuildFailure::SideTooLong:
        if (jpeg)
            return tr("横%1×縦%2ピクセルの画像はJPEGで保存できません（JPEGは一辺%3ピクセルまで）。"
                      "保存形式をBMPにしてください。")
                .arg(w)
                .arg(h)
                .arg(maxOutputSide(builtFormat_));
        return tr("横%1×縦%2ピクセルの画像はWebPで保存できません（WebPは一辺%3ピクセルまで）。"
                  "保存形式をPNGにしてください。")
            .arg(w)
            .arg(h)
            .arg(maxOutputSide(builtFormat_));
    case BuildFailure::NotMade:
        return jpeg ? tr("JPEG画像を作成できませんでした。") : tr("%1画像を作成できませんでした。").arg(name);
    case BuildFailure::OverLimit: return overLimitText();
    case BuildFailure::TempFile: return tempFailureText();
    case BuildFailure::OutOfMemory:
        return jpeg ? tr("メモリが足りないため、JPEG画像を作成できませんでした。")
                    : tr("メモリが足りないため、%1画像を作成できませんでした。").arg(name);
    }
    return {};
}

QString OutputRun::sizeText() const
{
    const int w = cut_.width(), h = cut_.height();
    if (!encoded_)
        return tr(" 横%1ピクセル×縦%2ピクセル").arg(w).arg(h);
    // The save writes these very bytes, so what is measured here is what is saved.
    const std::uint64_t kilobytes = kilobytesOf(built_ ? build_.fileBytes().size() : 0);
    if (copiedBlocks() || build_.recompressedJpeg)
        return tr(" 横%1ピクセル×縦%2ピクセル　無劣化　ファイルサイズ:%3kB").arg(w).arg(h).arg(kilobytes);
    // A lossless format has no quality to show.
    if (builtFormat_ == OutputFormat::Png)
        return tr(" 横%1ピクセル×縦%2ピクセル　ファイルサイズ:%3kB").arg(w).arg(h).arg(kilobytes);
    return tr(" 横%1ピクセル×縦%2ピクセル　画質:%3　ファイルサイズ:%4kB")
        .arg(w)
        .arg(h)
        .arg(build_.encoded.quality)
        .arg(kilobytes);
}

bool OutputRun::copiedBlocks() const
{
    return options_.lossless && cut_.kind() == PictureKind::Jpeg && !cut_.fileBytes().empty();
}

SerialPlace OutputRun::serialPlace() const
{
    std::string base = options_.documentPath;
    if (base.empty())
        base = options_.lastOutputPath;
    // Without either, an empty base would put the pictures into whatever the working folder
    // happens to be.
    if (base.empty())
        base = tempJpeg_;
    return {base, options_.tail, options_.saveFolder};
}

bool OutputRun::isTempJpeg(const std::string& chosen) const
{
    // Another spelling of the same file would be overwritten by the next preview and deleted
    // at closing, so it is refused as well.
    if (chosen == tempJpeg_)
        return true;
    std::error_code ec1, ec2;
    const auto a = std::filesystem::weakly_canonical(chosen, ec1);
    const auto b = std::filesystem::weakly_canonical(tempJpeg_, ec2);
    return !ec1 && !ec2 && a == b;
}

OutputFile OutputRun::outputFile() const
{
    // A BMP is written from the pixels, never held as a file.
    if (builtFormat_ == OutputFormat::Bmp)
        return {builtFormat_, {}, &cut_.bitmap()};
    return {builtFormat_, build_.fileBytes()};
}

bool OutputRun::hasOutput()
{
    if (built_ && !cut_.isEmpty())
        return true;
    report(MessageKind::Information, tr("画像がありません。"));
    return false;
}

bool OutputRun::saveSet()
{
    const std::uint64_t limit = limitBytes(options_.maxKb);
    std::vector<SetFile> files{{options_.set->mainSuffix, outputFile()}};
    std::vector<std::vector<std::uint8_t>> made;  // what the files' bytes point into
    made.reserve(options_.set->others.size());
    for (const auto& [suffix, picture] : options_.set->others) {
        const QString size = tr("横%1×縦%2").arg(picture.width()).arg(picture.height());
        if (picture.isEmpty()) {
            report(MessageKind::Error, tr("%1のピースを切り出せませんでした。\n保存しません。").arg(size));
            return false;
        }
        if (builtFormat_ == OutputFormat::Bmp) {
            files.push_back({suffix, {builtFormat_, {}, &picture.bitmap()}});
            continue;
        }
        if (options_.lossless && picture.kind() == PictureKind::Jpeg && !picture.fileBytes().empty()) {
            made.push_back(picture.fileBytes());
        } else {
            auto encoded = encodeWithinLimit(picture.bitmap(), builtFormat_, options_.quality, limit);
            if (!encoded) {
                report(MessageKind::Error, tr("%1のピースを作成できませんでした。\n保存しません。").arg(size));
                return false;
            }
            made.push_back(std::move(encoded.value().bytes));
        }
        if (limit > 0 && made.back().size() > limit) {
            report(MessageKind::Error, tr("%1のピースのファイルサイズ(%2kB)が上限の%3kBを超えます。\n保存しません。")
                                           .arg(size)
                                           .arg(kilobytesOf(made.back().size()))
                                           .arg(options_.maxKb));
            return false;
        }
        files.push_back({suffix, {builtFormat_, made.back()}});
    }
    const SetSave saved = saveSetSerial(serialPlace(), files);
    if (!saved.written) {
        report(MessageKind::Error, tr("%1\nセットのファイルはどれも保存していません。")
                                       .arg(saveFailureText(saved.failedName, saved.written.error().cause)));
        return false;
    }
    QStringList names;
    for (const std::string& name : saved.names)
        names << displayPath(fileNamePart(name));
    status(withCutCommand(tr("%1 を保存しました。").arg(names.join(tr("、")))));
    if (reporter_.saved)
        for (const std::string& name : saved.names)
            reporter_.saved(name);
    return true;
}

bool OutputRun::save(bool saveAs)
{
    if (!hasOutput())
        return false;
    // A set is saved under serial names, which say each piece's size.
    if (options_.set && !saveAs)
        return saveSet();
    std::string name;
    Status written;
    if (saveAs) {
        name = freeSerialName(serialPlace(), builtFormat_);
        FileDialogRequest request;
        request.initialFolder = displayPath(utf8Ancestor(folderPart(name)));
        request.fileName = displayPath(fileNamePart(name));
        request.filters = {outputFilter(builtFormat_)};
        request.defaultSuffix = QString::fromLatin1(outputExtension(builtFormat_) + 1);
        request.confirmOverwrite = true;
        request.requireExistingFolder = true;
        // The dialog shows a proposal that is not UTF-8 as text and gives that text back.
        name = pathFromDialog(desktop().saveFileName(dialogParent(), request), {name});
        if (name.empty()) {
            status(tr("保存を取り消しました。"));
            return false;
        }
        if (isTempJpeg(name)) {
            report(
                MessageKind::Information,
                tr("ファイル %1 は trimletが使用中です。\n別のファイル名を指定してください。").arg(displayPath(name)));
            return false;
        }
        // The dialog has asked before overwriting.
        written = writeOutputFile(name, outputFile(), WriteMode::Replace);
    } else {
        SerialSave serial = saveSerial(serialPlace(), outputFile());
        name = std::move(serial.name);
        written = std::move(serial.written);
    }
    if (!written) {
        report(MessageKind::Error, saveFailureText(name, written.error().cause));
        return false;
    }
    status(withCutCommand(tr("%1 を保存しました。").arg(displayPath(name))));
    if (reporter_.saved)
        reporter_.saved(name);
    return true;
}

bool OutputRun::copy()
{
    if (!hasOutput())
        return false;
    if (!desktop().setClipboard(imageOf(cut_.bitmap()), {})) {
        report(MessageKind::Error, tr("クリップボードにコピーできませんでした。"));
        return false;
    }
    status(withCutCommand(tr("画像の枠内をクリップボードにコピー")));
    if (reporter_.copied)
        reporter_.copied();
    return true;
}

void OutputRun::carryOut(OutputMode mode)
{
    try {
        act(mode);
    } catch (...) {
        forget();
        throw;
    }
}

void OutputRun::act(OutputMode mode)
{
    const bool writes = mode == OutputMode::Preview || mode == OutputMode::Save;
    const Outcome outcome = build(writes);
    if (outcome.stage != Stage::Built) {
        // A cut to keep editing needs no file; every other command has failed and says why.
        if (!outcome.failure.isEmpty() && mode != OutputMode::CutOnly)
            report(MessageKind::Error, outcome.failure);
        return;
    }
    switch (mode) {
    case OutputMode::Save: save(options_.documentName.isEmpty() && !options_.set); break;
    case OutputMode::Copy: copy(); break;
    case OutputMode::CutOnly:
    case OutputMode::Preview: break;
    }
}

}  // namespace trimlet
