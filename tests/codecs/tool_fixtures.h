#pragma once
// Fixtures made at test time by the Debian tools of each format, and what their reference
// decoders make of them. A missing tool is a failure, never a skip.

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "codecs/decoded.h"
#include "tests/support/test_support.h"

namespace trimlet::test {

inline ::testing::AssertionResult haveTools(const std::vector<std::string>& names)
{
    for (const std::string& name : names)
        if (!haveProgram(name))
            return ::testing::AssertionFailure() << name << " is not installed (scripts/install-deps.sh)";
    return ::testing::AssertionSuccess();
}

inline ::testing::AssertionResult ran(const std::string& command)
{
    const CommandResult r = runCommand(command + " >/dev/null 2>&1");
    if (r.exitCode != 0)
        return ::testing::AssertionFailure() << "failed (" << r.exitCode << "): " << command;
    return ::testing::AssertionSuccess();
}

inline std::string quoted(const std::string& path) { return "'" + path + "'"; }

// The colours of a picture file as ImageMagick reads them (alpha not applied).
inline Bitmap colourOf(const std::string& path)
{
    const CommandResult r = runCommand("convert " + quoted(path) + " -alpha off -depth 8 ppm:-");
    return fromPnm({r.out.begin(), r.out.end()});
}

// 1 where the picture file's alpha is 0, as ImageMagick reads it; row by row.
inline std::vector<std::uint8_t> clearOf(const std::string& path)
{
    const CommandResult r = runCommand("convert " + quoted(path) + " -alpha extract -depth 8 pgm:-");
    const Bitmap alpha = fromPnm({r.out.begin(), r.out.end()});  // grey: equal channels
    std::vector<std::uint8_t> mask;
    for (int y = 0; y < alpha.height(); ++y)
        for (int x = 0; x < alpha.width(); ++x)
            mask.push_back(alpha.row(y)[3 * x] == 0);
    return mask;
}

// Every shorter start of a file either fails or gives exactly what the whole file gives:
// a decoder never makes up pixels for data it did not get.
inline void expectCutsNeverMakeUpPixels(const std::vector<std::uint8_t>& file,
                                        const std::function<Result<DecodedImage>(Bytes)>& decode, int steps = 97)
{
    const auto whole = decode(file);
    ASSERT_TRUE(whole) << whole.error().message;
    for (int i = 0; i < steps; ++i) {
        const std::size_t cut = file.size() * std::size_t(i) / std::size_t(steps);
        const auto part = decode(Bytes(file.data(), cut));
        if (part)
            EXPECT_TRUE(part.value().bitmap == whole.value().bitmap && part.value().mask == whole.value().mask)
                << "made-up pixels from the first " << cut << " of " << file.size() << " bytes";
        else
            EXPECT_NE(part.error().code, ErrorCode::TooLarge) << cut << ": " << part.error().message;
    }
}

}  // namespace trimlet::test
