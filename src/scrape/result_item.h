#pragma once

#include <cstddef>
#include <optional>
#include <vector>

#include "platform/text.h"

namespace lanqi {

// Which typed field of a result a definition's line fills (the step's `field` key); Other: none, the line
// is a further detail line.
enum class ResultField : unsigned char { Other, Size, FileCount, Date, DescriptionUrl };

// One line of the details text: the definition's label (GBK, with the line breaks it begins with) and the
// field as the page gives it.
struct DetailLine {
    Text label;
    Text value;
    ResultField field = ResultField::Other;

    bool operator==(const DetailLine&) const = default;
};

// One entry of a result's contained files: the entry as the details list it, and read from it its name and
// its size (the last one or two blank-separated words, where they are a size).
struct ListedFile {
    Text entry;
    Text name;
    Text sizeText;                                // "" when the entry ends in no size
    std::optional<unsigned long long> sizeBytes;  // 1 KB = 1024 bytes

    bool operator==(const ListedFile&) const = default;
};

// A calendar date a site prints ("2021-11-08").
struct ResultDate {
    int year = 0;
    int month = 0;  // 1..12
    int day = 0;    // 1..31, within the month

    bool operator==(const ResultDate&) const = default;
};

// Where each part of the details text stands between the title line and the site line, in page order.
struct DetailPart {
    enum Kind : unsigned char {
        Download,  // the download block
        Line,      // lines[first]
        Files,     // header, then files[first] .. files[first + count - 1]; nothing when count is 0
    };
    Kind kind = Line;
    size_t first = 0;
    size_t count = 0;
    Text header;  // Files: the definition's header, written before the first entry

    bool operator==(const DetailPart&) const = default;
};

// One result of a search: what one item of a site's page gives. Texts are GBK.
struct ResultItem {
    Text title;        // never empty: a missing title is the placeholder title
    int fileKind = 1;  // the results list's picture index: 0 archive, 1 other, 3 video (FileKind)
    Text magnetLink;   // "magnet:?xt=urn:btih:" + the info-hash as the page gives it (none unless well-formed)
    Text detailText;   // lines joined by "\r\n", from "文件名：" to "文件分类：" + site (formatDetailText)
    int site = 0;      // 1..6, the catalogue number of the site that gave it

    // The typed fields, as the definition's steps name them.
    Text infoHash;  // the hash as cut from the page
    Text hashKey;   // for comparing: 40 lower-case hex digits (a base32 hash converted); "" unless well-formed
    Text sizeText;  // the size line's value, blanks around it removed; "" when the page gives none
    std::optional<unsigned long long> sizeBytes;  // where sizeText parses (1 KB = 1024 bytes)
    std::optional<long long> fileCount;           // where the file-count line is a whole number
    Text dateText;                                // the date line's value, blanks around it removed
    std::optional<ResultDate> date;               // where dateText begins with a valid year-month-day
    Text descriptionUrl;                          // the result's own page on the site, as the page writes it
    std::vector<ListedFile> files;                // the contained files, in page order
    std::vector<DetailLine> lines;                // every detail line in page order, typed or not
    std::vector<DetailPart> detailParts;          // the order the details text is written in

    bool operator==(const ResultItem&) const = default;
};

}  // namespace lanqi
