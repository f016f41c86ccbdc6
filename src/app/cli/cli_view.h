#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "search/search_view.h"

namespace lanqi {

// The search row, title and results list of lanqi-cli: it keeps the controls' state as plain data and
// reports rows and messages as they happen.
class CliView final : public SearchView, public ResultRows {
  public:
    struct Row {
        Text title;
        int fileKind;
    };

    CliView(bool json, std::FILE* out) : m_json(json), m_out(out) {}

    void setKeyword(Text gbkKeyword) { m_keyword = std::move(gbkKeyword); }

    // SearchView
    void setWindowTitle(const Text& title) override { m_title = title; }
    Text searchText() const override { return m_keyword; }
    void applyLayout(SearchLayout layout) override { m_layout = layout; }
    void setPreviousVisible(bool visible) override { m_prevVisible = visible; }
    void setNextVisible(bool visible) override { m_nextVisible = visible; }
    void setNextCaption(const Text& caption) override { m_nextCaption = caption; }
    Text nextCaption() const override { return m_nextCaption; }
    void setPageSelectorVisible(bool visible) override { m_selectorVisible = visible; }
    void clearPageItems() override {
        m_pageItems.clear();
        m_selectedItem = -1;
    }
    void addPageItem(const Text& item) override { m_pageItems.push_back(item); }
    int pageItemCount() const override { return static_cast<int>(m_pageItems.size()); }
    void selectPageItem(int index) override;
    void setBannerVisible(bool visible) override { m_bannerVisible = visible; }
    void showModalMessage(const Text& text, const Text& caption, MessageIcon icon) override;
    ResultRows& resultRows() override { return *this; }

    // ResultRows
    void appendResultRow(const Text& caption, int pictureIndex) override { m_rows.push_back({caption, pictureIndex}); }
    void clearResultRows() override { m_rows.clear(); }
    int selectedRow() const override { return -1; }

    const Text& title() const { return m_title; }
    const std::vector<Row>& rows() const { return m_rows; }
    const std::vector<Text>& pageItems() const { return m_pageItems; }
    int selectedItem() const { return m_selectedItem; }
    SearchLayout layout() const { return m_layout; }
    bool previousVisible() const { return m_prevVisible; }
    bool nextVisible() const { return m_nextVisible; }
    bool pageSelectorVisible() const { return m_selectorVisible; }
    bool bannerVisible() const { return m_bannerVisible; }

  private:
    bool m_json;
    std::FILE* m_out;
    Text m_keyword;
    Text m_title;
    SearchLayout m_layout = SearchLayout::Home;
    bool m_prevVisible = false;
    bool m_nextVisible = false;
    bool m_selectorVisible = false;
    bool m_bannerVisible = true;
    Text m_nextCaption;
    std::vector<Text> m_pageItems;
    int m_selectedItem = -1;
    std::vector<Row> m_rows;
};

}  // namespace lanqi
