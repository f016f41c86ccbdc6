#pragma once

#include "scrape/result_rows.h"

namespace lanqi::test {

// The results list as the result actions read it: only its selection, set by the test (-1: none).
class SelectedRow : public ResultRows {
  public:
    int row = -1;
    void appendResultRow(const Text&, int) override {}
    void clearResultRows() override { row = -1; }
    int selectedRow() const override { return row; }
};

}  // namespace lanqi::test
