#pragma once
// The main window as the window tests use it: with a settings file of its own in a temporary
// folder, so that no test reads what another one saved.

#include <QFile>
#include <QStringList>
#include <atomic>
#include <filesystem>
#include <string>

#include "forms/frm_main.h"
#include "forms/frm_preview.h"
#include "tests/forms/fake_desktop.h"
#include "tests/support/test_support.h"

namespace trimlet::test {

inline const TempDir& settingsFolder()
{
    static const TempDir dir;
    return dir;
}

// Command-line arguments as the file system's bytes, from names given as text.
inline std::vector<std::string> localPaths(const QStringList& names)
{
    std::vector<std::string> paths;
    for (const QString& name : names)
        paths.push_back(QFile::encodeName(name).toStdString());
    return paths;
}

// Marks arguments given as bytes, as main() passes them.
struct ByteArgs {};

class TestMain : public TfrmMain {
public:
    explicit TestMain(const QStringList& args = {}, const std::string& settingsFile = {})
        : TestMain(ByteArgs{}, localPaths(args), settingsFile)
    {
    }
    TestMain(ByteArgs, std::vector<std::string> args, const std::string& settingsFile = {})
        : TfrmMain(std::move(args))
    {
        static std::atomic<int> counter{0};
        std::string path = settingsFile;
        if (path.empty()) {
            path = settingsFolder().file("trimlet-" + std::to_string(++counter) + ".ini");
            std::filesystem::remove(path);
        }
        setSettingsPath(path);
    }
};

// The main window wired to its preview as the program wires them, with a fake desktop and the
// preview's temporary JPEG in a folder of its own. Shown once the derived fixture is built.
struct MainWithPreview {
    FakeDesktop fake;
    TempDir tempDir;
    TestMain frm;
    TfrmPreview preview;

    MainWithPreview()
    {
        frm.setPreviewWindow(&preview);
        preview.setTempJpeg(tempDir.file("trimlet.jpg"));
    }
};

}  // namespace trimlet::test
