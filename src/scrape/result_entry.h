#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

#include "platform/text.h"
#include "scrape/result_item.h"

namespace lanqi {

// The pieces every site's parser builds a ResultItem from.

// Picture index of a result: the four pictures of the results list.
enum FileKind : int { kArchive = 0, kOther = 1, kVideo = 3 };

// "*获取文件标题失败，但您依然可以点击播放或下载*": the title of a result whose title is empty.
const Text& placeholderTitle();

// The part of `title` after its last "." (the whole title when it has none), compared byte for byte
// with the archive list, then the video list: kArchive, kVideo, else kOther (mixed case included).
int fileKindOf(std::string_view title);

// True for a BitTorrent info-hash as a magnet link writes it: exactly 40 hexadecimal digits, or exactly 32
// base32 characters (A-Z, 2-7); either case, as the page gives it.
bool isInfoHash(std::string_view hash);

// "magnet:?xt=urn:btih:" + hash when isInfoHash(hash), else "magnet:?xt=urn:btih:" alone: a page's bytes
// past the hash ("&tr=", "&ws=", ...) never reach the programs the link is handed to.
Text magnetLinkOf(std::string_view infoHash);

// The first detail line: "文件名：\r\n" + title.
void startDetailText(Text& detail, const Text& title);
// "\r\n\r\n下载链接：" + magnet link + the line telling how to play or download it.
void appendDownloadBlock(Text& detail, const Text& magnetLink);
// The last detail line: "\r\n\r\n文件分类：" + the site number.
void appendSiteLine(Text& detail, int site);

// The info-hash in the form results are compared by: 40 lower-case hexadecimal digits, a 32-character
// base32 hash converted to them; "" unless isInfoHash(hash).
Text infoHashKey(std::string_view hash);

// "7.6GB", "6.15 GB", "512 bytes": the leading number times its unit (B, KB, MB, GB, TB, their KiB forms,
// "bytes"; any case; 1 KB = 1024 bytes), blanks around it ignored; nothing when there is no unit.
std::optional<unsigned long long> sizeInBytes(std::string_view printed);

// The date a text begins with: year, month and day as digits, separated by "-", "/" or "." ("2021-11-08",
// "2021-11-08 12:30"); nothing when the text begins with no valid date (a month outside 1..12, a day past
// its month's end, more digits running on).
std::optional<ResultDate> dateOf(std::string_view text);

// A contained-file entry read into its name and size: the size is the last one or two blank-separated words
// when they are a size ("a.mkv 6.15 GB"), else the entry is a name alone. Blanks around both are dropped.
ListedFile listedFileOf(Text entry);

// Sets the typed field `field` of `item` from a line's value, as the value parses (blanks around it
// dropped): the size text and bytes, the file count, the date text and date, the description address.
void fillResultField(ResultItem& item, ResultField field, std::string_view value);

// The details text of `item`, from its title, detail parts and site: the title line, each part in order
// (a line or file entry that would take the text past kMaxDetailBytes cut at a GBK character, and nothing
// more once it is full), the download block wherever it stands, and the site line.
Text formatDetailText(const ResultItem& item);

// The size of a details text of `before` bytes once `label` and `value` are appended as formatDetailText
// appends a line or file entry: nothing at or past kMaxDetailBytes, else cut there at a GBK character.
size_t cappedDetailSize(size_t before, std::string_view label, std::string_view value);

// The bytes of text `item` holds: what a page's rows are counted by against kMaxPageRowBytes.
size_t rowBytes(const ResultItem& item);

// Shortens `text` to at most `limit` bytes without splitting a GBK character: the bytes from `from` on
// (where a character begins; the start when `from` lies past the limit) are read as GBK, and the text
// ends after the last whole character that fits. A text within the limit is left as it is.
void cutGbkText(Text& text, size_t from, size_t limit);

// Size text as Site1 shows it, from raw page bytes: everything up to and including the byte after the
// last ".", then the last two bytes ("1.25 GB" -> "1.2GB"); without a "." only the last two bytes.
Bytes trimSizeText(std::string_view raw);
void trimSizeText(std::string_view raw, Bytes& out);  // the same, into `out`

// A Site5 file entry from raw page bytes: the bytes before the first "<", then the bytes between the
// first ">" and the last "<" ("a.mkv <span>1.2 GB</span>" -> "a.mkv 1.2 GB"). An entry without a tag
// gives "", and so does the second part when no ">" comes before the last "<".
Bytes unwrapFileItem(std::string_view raw);
void unwrapFileItem(std::string_view raw, Bytes& out);  // the same, into `out`

// A text as a person should read it: the HTML character references a page left in it decoded, once. Named
// references for & < > " ' (&amp; &lt; &gt; &quot; &apos;) and numeric ones (&#39; &#x27;) whose character
// GBK holds; anything else stays as written. GBK in and out; a "&" inside a two-byte character is never
// taken for one. For showing only: stored titles, links and details keep the bytes the page gave.
Text decodeCharacterReferences(const Text& text);

}  // namespace lanqi
