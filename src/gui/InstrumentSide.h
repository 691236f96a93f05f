#pragma once
#include <QStringList>
#include <memory>

#include "data/RecordingStore.h"
#include "link/BridgePorts.h"
#include "link/InstrumentLink.h"
#include "link/LinkController.h"
#include "link/LinkTrace.h"

namespace thermivo {

class CDeepColdThermivoDlg;
class DialogLinkView;
class PtyInstrument;
struct Recording;

/// The instrument side of the running program: bridge ports and their watcher, the link, the controller,
/// and in demo mode the virtual instrument on a pseudo-terminal. Connects itself to the main window's
/// buttons, messages and initialisation; shuts down in order (watcher, port, simulator) before the window.
class InstrumentSide {
  public:
    InstrumentSide(CDeepColdThermivoDlg& dlg, Recording& rec, const QStringList& portPaths, bool simulate);
    ~InstrumentSide();
    InstrumentSide(const InstrumentSide&) = delete;
    InstrumentSide& operator=(const InstrumentSide&) = delete;

    /// The search at the end of the window's initialisation, then the arrival/removal watcher.
    void startSearch();
    /// Records every frame to and from the instrument in `path` (--trace); false with `error` when the file
    /// cannot be written.
    bool startTrace(const std::string& path, std::string& error);

    LinkController& controller() { return controller_; }
    InstrumentLink& link() { return link_; }
    DialogLinkView& view() { return *view_; }
    /// True when the virtual instrument runs (demo mode).
    bool simulated() const { return simulator_ != nullptr; }
    /// Device path of the virtual instrument ("" without one).
    std::string simulatorPath() const;
    /// Where complete downloads are kept.
    const RecordingStore& store() const { return store_; }

  private:
    CDeepColdThermivoDlg& dlg_;
    RecordingStore store_;
    std::unique_ptr<PtyInstrument> simulator_;
    BridgePorts ports_;
    InstrumentLink link_;
    DialogLinkView* view_;  // owned by the window
    LinkController controller_;
    LinkTrace trace_;
};

}  // namespace thermivo
