#pragma once

#include "platform/text.h"

namespace lanqi {

// The results list as the logic sees it. Rows are counted from 0 and only ever appended at the end.
class ResultRows {
  public:
    virtual ~ResultRows() = default;
    // Adds a row after the last one with this caption (GBK) and picture index (fileKind: 0, 1 or 3).
    virtual void appendResultRow(const Text& caption, int pictureIndex) = 0;
    // Removes every row; afterwards selectedRow() is -1.
    virtual void clearResultRows() = 0;
    // The first selected row, or -1 when none is selected.
    virtual int selectedRow() const = 0;
};

// The main window's title bar, which is the status line of the system.
class StatusLine {
  public:
    virtual ~StatusLine() = default;
    virtual void setWindowTitle(const Text& title) = 0;  // the whole title, GBK
};

}  // namespace lanqi
