#pragma once
// What the console sets for the work, as plain values: the cut size and rate every cut reads,
// and how a piece is written. The window's controls only show these; the commands, the live
// size and trimlet-cli read them.

#include "codecs/output_file.h"
#include "imaging/serial_name.h"

namespace trimlet {

// A W × H piece cut from a region reduced by rate percent (1..100).
struct CutSettings {
    int width = 0;
    int height = 0;
    int rate = 100;
    bool operator==(const CutSettings&) const = default;
};

// The format of a written piece, its quality (JPEG and WebP, 1..100), the serial name's tail
// and the size limit in units of 1024 bytes (0: none).
struct OutputChoice {
    OutputFormat format = OutputFormat::Jpeg;
    int quality = 90;
    SerialTail tail = SerialTail::Paren;
    int maxKb = 0;
    bool lossless = false;  // a JPEG's own pixels are copied from its blocks, where they can be
    bool operator==(const OutputChoice&) const = default;
};

}  // namespace trimlet
