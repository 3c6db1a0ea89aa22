#pragma once
// The window's picture loads, decoded off its thread: the window keeps painting and handling
// keys while a large photo decodes, a newer load supersedes one still decoding, and the
// folder's neighbours of the shown picture are decoded ahead, so that the next photo is there
// at once. Input that would act on the document waits for the load it follows, so a save
// pressed right after PageDown cuts the photo it was pressed for.

#include <QObject>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "forms/main/photo_prefetch.h"
#include "imaging/cut_geometry.h"

class QWidget;

namespace trimlet {

class PictureLoads : public QObject {
    Q_OBJECT

public:
    // The load's result comes as a call, which throws what the decode threw (a shortage of
    // memory), so that the window reports it as it reports its own.
    using Result = std::function<PhotoPrefetch::Taken()>;
    using Done = std::function<void(const Result&)>;
    // How the window decodes, and shows a picture, as it is at the moment of asking.
    // Where pictures are shown: a work area at a device pixel ratio.
    struct Display {
        IntRect area;
        qreal ratio = 1;
    };
    struct Window {
        QWidget* widget;  // the input that waits for a load is the input to it
        std::function<DecodeLimits()> limits;
        std::function<Display()> display;
        // Shows a load's first look: the display copy of an upright width × height picture.
        std::function<void(const QImage& look, int width, int height)> firstLook;
    };

    explicit PictureLoads(Window window);
    ~PictureLoads() override;

    // The command-line picture, decoding since before the window was built.
    void adopt(std::unique_ptr<PhotoPrefetch> startup);
    // Holds the decodes back between bands of rows while the window paints its first frame.
    void hold();
    void release();

    // Loads path (a resolved one); done runs on the window's thread with the result, unless a
    // later load() comes first. A picture decoded ahead is taken at once unless `fresh` (a
    // reload) or its file has changed since.
    void load(const std::string& path, bool fresh, Done done);
    bool pending() const { return bool(done_); }
    // Waits for the pending load and delivers it before returning: the window paints meanwhile,
    // the user's input waits for it.
    void settle();
    // Decodes these ahead, one after another at low priority, and drops what was decoded ahead
    // of any other file. Each is kept only while memory allows.
    void lookAhead(std::vector<std::string> paths);

    // The files decoded ahead and kept, in the order asked.
    std::vector<std::string> decodedAhead() const;

    // The memory a decode ahead may take: a share of what the system has free and of what the
    // process may still map.
    static std::int64_t roomAhead();

signals:
    // The pending load is over; its done() runs right after.
    void delivered();
    // The pending load's first look has been handed to the window.
    void lookShown();

private:
    struct Job {
        std::unique_ptr<PhotoPrefetch> decode;
        DecodeLimits limits;
        std::int64_t stamp = -1;  // the file's change time and size when the decode started
    };
    Job start(const std::string& path, const DecodeLimits& limits, bool wanted = false);
    void collect();
    void startAhead();
    PhotoPrefetch::FirstLook firstLook(const Display& display);
    void retireAhead(const std::function<bool(const Job&)>& which);
    void dispose(std::unique_ptr<PhotoPrefetch> decode);
    bool eventFilter(QObject* watched, QEvent* event) override;

    Window window_;
    Job current_;
    Done done_;
    DecodeLimits wanted_;                                  // the pending load's own limits
    std::uint64_t generation_ = 0;                         // of load(), so that an older load's first look is not shown
    std::vector<Job> ahead_;                               // done or decoding, in the order asked
    std::vector<std::string> queued_;                      // still to be decoded ahead
    std::vector<std::unique_ptr<PhotoPrefetch>> retired_;  // abandoned, finishing on their own
    bool held_ = false;
    std::unique_ptr<EarlyLook> early_;  // the command-line picture's look; last, as it posts to this
};

// The screen pixels of a w × h picture fitted into the display, and its display copy there.
QSize fittedDeviceSize(const PictureLoads::Display& display, int w, int h);
PhotoPrefetch::Render fittedRender(const PictureLoads::Display& display);

}  // namespace trimlet
