#pragma once
// What every conversion of trimlet-cli shares: the steps run on a picture, the encode within
// --max-kb and the words of a failed write.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "base/result.h"
#include "cli/options.h"
#include "codecs/decoded.h"
#include "codecs/picture.h"
#include "document/output_job.h"

namespace trimlet::cli {

// What one input makes before anything of it is written: one file, or a set's pieces to be
// written under one serial number, each with what follows the number in its name.
struct MadeFile {
    std::string suffix;
    OutputFormat format = OutputFormat::Jpeg;
    std::vector<std::uint8_t> bytes;
};
struct Made {
    bool set = false;
    std::vector<MadeFile> files;
};

// The --max-kb refusal of a file whose smallest encode has smallest bytes.
Error doesNotFit(const Request& req, std::size_t smallest);

// The file for kind, one of the written kinds (as readOutput and kFormats allow), within
// --max-kb when one is given.
Result<EncodedOutput> encodeFor(const Bitmap& bitmap, PictureKind kind, const Request& req);

// A failed write with its cause in words, as the system's own text may be in another language
// or name no cause at all.
Error writeFailure(Error error);

DecodeLimits loadOptions(const Request& req);

// Applies one step to the picture. A set is no step of the picture: it writes.
struct StepRunner {
    const Picture& picture;
    const Request& req;

    Result<Picture> operator()(const CutStep& cut) const;
    Result<Picture> operator()(TurnStep turn) const;
    Result<Picture> operator()(FlipStep flip) const;
    Result<Picture> operator()(RotateStep rotate) const;
    Result<Picture> operator()(const JoinStep& join) const;
    Result<Picture> operator()(const SetStep& set) const;
};

// How many turns and flips the steps start with.
std::size_t leadingPlacements(const std::vector<Step>& steps);

// The index of the first cut when only turns and flips come before it.
std::optional<std::size_t> leadingCut(const std::vector<Step>& steps);

// The index of the cut when only turns and flips, then a rotation, come before it.
std::optional<std::size_t> rotatedCut(const std::vector<Step>& steps);

// Loads input and applies the steps up to and including that cut, rotating only what it takes.
Result<Picture> loadRotatedCutOf(const Request& req, const std::string& input, std::size_t cutIndex);

// The first count steps, all turns and flips, as one placement.
int placementOfSteps(const std::vector<Step>& steps, std::size_t count);

}  // namespace trimlet::cli
