#pragma once
// What the main window hands the preview window with a cut: what to do with it, and how to
// write it.

#include <QString>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "codecs/output_file.h"
#include "codecs/picture.h"
#include "document/output_job.h"
#include "imaging/serial_name.h"

namespace trimlet {

// What the preview does once it has built its output.
enum class OutputMode { Preview, Save, Copy, CutOnly };

// The save dialog's filter for a format.
inline QString outputFilter(OutputFormat format)
{
    switch (format) {
    case OutputFormat::Bmp: return QStringLiteral("Bitmap files (*.bmp)");
    case OutputFormat::Png: return QStringLiteral("PNG files (*.png)");
    case OutputFormat::Webp: return QStringLiteral("WebP files (*.webp)");
    case OutputFormat::Jxl: return QStringLiteral("JPEG XL files (*.jxl)");
    case OutputFormat::Jpeg: break;
    }
    return QStringLiteral("JPEG files (*.jpg)");
}

// The other pieces of a set, saved with the cut under one serial number, each name followed by
// its suffix ("_1920x1080"); a piece copied from the blocks holds its JPEG file.
struct SetOutputs {
    std::string mainSuffix;
    std::vector<std::pair<std::string, Picture>> others;
};

// The console's output choices and the document they apply to, as they stood at the cut.
struct OutputOptions {
    int quality = 90;  // JPEG, WebP and JPEG XL quality, 1 to 100
    int maxKb = 0;     // size limit in units of 1024 bytes; 0: none
    OutputFormat format = OutputFormat::Jpeg;
    SerialTail tail = SerialTail::Paren;
    // The cut is a JPEG copied from the document's blocks, saved as its very bytes.
    bool lossless = false;
    // The document's path as the file system's bytes, and as shown; both empty for a pasted picture.
    std::string documentPath;
    QString documentName;
    // The last saved picture's path, which names the saves of a picture without a file; may be empty.
    std::string lastOutputPath;
    // The folder serial names are counted in, as bytes; empty: beside the picture.
    std::string saveFolder;
    // A set's other pieces, saved with the cut; none for a single piece.
    std::shared_ptr<const SetOutputs> set;
};

}  // namespace trimlet
