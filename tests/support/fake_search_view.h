#pragma once

#include <string>
#include <vector>

#include "platform/text.h"
#include "search/search_view.h"

namespace lanqi::test {

// Records what the search flow did to the window's controls, as GBK texts.
class FakeSearchView : public SearchView, public ResultRows {
  public:
    struct Message {
        Text text;
        Text caption;
        MessageIcon icon;
        bool bannerVisibleWhileShown;
    };

    Text keyword = "abc";
    Text title;
    std::vector<Text> titles;
    SearchLayout layout = SearchLayout::Home;
    bool prevVisible = false, nextVisible = false, selectorVisible = false, bannerVisible = true;
    Text caption;
    std::vector<Text> pageItems;
    int selected = -1;
    std::vector<std::pair<Text, int>> rows;
    std::vector<Message> messages;

    void setWindowTitle(const Text& t) override {
        title = t;
        titles.push_back(t);
    }
    Text searchText() const override { return keyword; }
    void applyLayout(SearchLayout l) override { layout = l; }
    void setPreviousVisible(bool v) override { prevVisible = v; }
    void setNextVisible(bool v) override { nextVisible = v; }
    void setNextCaption(const Text& c) override { caption = c; }
    Text nextCaption() const override { return caption; }
    void setPageSelectorVisible(bool v) override { selectorVisible = v; }
    void clearPageItems() override {
        pageItems.clear();
        selected = -1;
    }
    void addPageItem(const Text& item) override { pageItems.push_back(item); }
    int pageItemCount() const override { return static_cast<int>(pageItems.size()); }
    void selectPageItem(int index) override {
        selected = index < 0 || pageItems.empty() ? -1 : std::min(index, static_cast<int>(pageItems.size()) - 1);
    }
    void setBannerVisible(bool v) override { bannerVisible = v; }
    void showModalMessage(const Text& text, const Text& cap, MessageIcon icon) override {
        messages.push_back({text, cap, icon, bannerVisible});
    }
    ResultRows& resultRows() override { return *this; }

    void appendResultRow(const Text& c, int picture) override { rows.emplace_back(c, picture); }
    void clearResultRows() override { rows.clear(); }
    int selectedRow() const override { return -1; }
};

}  // namespace lanqi::test
