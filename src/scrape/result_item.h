#pragma once

#include "platform/text.h"

namespace lanqi {

// One result of a search: what one item of a site's page gives. Texts are GBK.
struct ResultItem {
    Text title;        // never empty: a missing title is the placeholder title
    int fileKind = 1;  // the results list's picture index: 0 archive, 1 other, 3 video (FileKind)
    Text magnetLink;   // "magnet:?xt=urn:btih:" + the info-hash as the page gives it (none unless well-formed)
    Text detailText;   // lines joined by "\r\n", from "文件名：" to "文件分类：" + site
    int site = 0;      // 1..6, the catalogue number of the site that gave it

    bool operator==(const ResultItem&) const = default;
};

}  // namespace lanqi
