#pragma once

#include <vector>

#include <QToolButton>
#include <QWidget>

#include "app/core/results_presenter.h"

namespace lanqi {

// 站点状态: one small button per slot, left to right, coloured by its state, with what it gave as tool tip and
// accessible name. Activating an entry asks for the settings at that slot.
class SiteStrip final : public QWidget {
    Q_OBJECT
  public:
    explicit SiteStrip(QWidget* parent = nullptr);

    void showEntries(const std::vector<SiteStripEntry>& entries);
    // The entry of slot `slot` (for tests and the window), or null.
    QToolButton* entryOf(int slot) const;

  signals:
    void entryActivated(int slot);

  private:
    std::vector<QToolButton*> m_entries;
};

}  // namespace lanqi
