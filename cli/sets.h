#pragma once
// trimlet-cli's sets and spans: the stored set a name stands for, and the pieces of one input
// written under one serial number.

#include <string>
#include <vector>

#include "base/result.h"
#include "cli/options.h"
#include "cli/steps.h"

namespace trimlet::cli {

// The settings file of the window program trimlet beside this executable, by the window's own
// rule; nothing is created.
std::string windowSettingsFile();

// The set step's stored set looked up by its name in settingsFile, and a span given its
// --bezel; why not when the name is unknown or stands for something the command line cannot
// cut. Nothing to do for steps without a set.
Refusal resolveSet(Request& req, const std::string& settingsFile);

// The set's pieces of input, every one encoded (or, with --lossless, copied from its blocks),
// nothing written yet.
Result<Made> makeSet(const Request& req, const std::string& input);

// The pieces written under one serial number beside the input or in --save-dir; the written
// paths, in the set's order. On any failure nothing is left written.
Result<std::vector<std::string>> saveSet(const Made& made, const std::string& input, const Request& req);

}  // namespace trimlet::cli
