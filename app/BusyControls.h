#pragma once
// What a transaction disables: every button and switch on the window's pages, found by
// walking the widgets when the link becomes busy (so a control added later is covered
// too), except the ones marked as needing no link. The states from before the
// transaction come back when it ends. Main (GUI) thread only.
#include <QPointer>
#include <QWidget>
#include <utility>
#include <vector>

namespace lum {

class BusyControls {
  public:
    // `roots`: the widgets whose buttons and switches a transaction disables.
    explicit BusyControls(std::vector<QWidget*> roots) : roots_(std::move(roots)) {}

    // `w` and everything inside it stays usable while the link is busy.
    static void MarkNeedsNoLink(QWidget* w);

    // Follows the link's busy state (Transactions::BusyChanged).
    void SetBusy(bool busy);
    bool IsBusy() const { return busy_; }
    // Enables or disables a control; while the link is busy a control the transaction
    // disabled keeps its busy state and gets `enabled` when the transaction ends.
    void SetEnabled(QWidget* w, bool enabled);

  private:
    std::vector<QWidget*> HeldControls() const;

    std::vector<QWidget*> roots_;
    std::vector<std::pair<QPointer<QWidget>, bool>> saved_;
    bool busy_ = false;
};

}  // namespace lum
