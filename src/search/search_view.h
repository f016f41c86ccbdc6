#pragma once

#include "platform/desktop.h"
#include "platform/text.h"
#include "scrape/result_rows.h"

namespace lanqi {

enum class SearchLayout {
    Home,     // 搜索框 392 wide, 按钮1 at left 664
    Results,  // 搜索框 224 wide, 按钮1 at left 488: room for 按钮2, 组合框1 and 按钮3
};

// The controls of the main window's search row and list area, as the search flow uses them. The title
// (StatusLine) is the status line. Implemented by the main window and by lanqi-cli.
class SearchView : public StatusLine {
  public:
    // 搜索框: the keyword as the box holds it now, GBK.
    virtual Text searchText() const = 0;

    virtual void applyLayout(SearchLayout layout) = 0;

    virtual void setPreviousVisible(bool visible) = 0;  // 按钮2 "上一页"
    virtual void setNextVisible(bool visible) = 0;      // 按钮3
    virtual void setNextCaption(const Text& caption) = 0;
    virtual Text nextCaption() const = 0;

    // 组合框1, the page selector; item i stands for page i + 1.
    virtual void setPageSelectorVisible(bool visible) = 0;
    virtual void clearPageItems() = 0;
    virtual void addPageItem(const Text& item) = 0;
    virtual int pageItemCount() const = 0;
    // A selection set by the program: an index past the last item selects the last item, -1 or less
    // selects nothing. It is not a user choice and must start nothing.
    virtual void selectPageItem(int index) = 0;

    // 标签2 (home banner) and 图片框2 (home picture), shown and hidden together.
    virtual void setBannerVisible(bool visible) = 0;

    // A modal message with a single OK button; returns when the user has closed it.
    virtual void showModalMessage(const Text& text, const Text& caption, MessageIcon icon) = 0;

    // 超级列表框1.
    virtual ResultRows& resultRows() = 0;
};

}  // namespace lanqi
