#include "scrape/result_entry.h"

#include <array>

namespace lanqi {
namespace {

constexpr std::array<std::string_view, 10> kArchiveExtensions{"rar", "zip", "7z", "tar", "iso",
                                                              "RAR", "ZIP", "7Z", "TAR", "ISO"};
constexpr std::array<std::string_view, 44> kVideoExtensions{
    "mp4", "3gp", "amr", "ass", "avi", "cda", "flv",  "ifo", "mkv", "mov", "mpg", "pmp", "ra",  "rm",  "smi",
    "swf", "vcd", "vob", "wav", "wma", "wmv", "rmvb", "MP4", "3GP", "AMR", "ASS", "AVI", "CDA", "FLV", "IFO",
    "MKV", "MOV", "MPG", "PMP", "RA",  "RM",  "SMI",  "SWF", "VCD", "VOB", "WAV", "WMA", "WMV", "RMVB"};

template <size_t N>
bool listed(const std::array<std::string_view, N>& list, std::string_view extension) {
    for (std::string_view entry : list)
        if (entry == extension) return true;
    return false;
}

}  // namespace

const Text& placeholderTitle() {
    static const Text title = gbk(u8"*获取文件标题失败，但您依然可以点击播放或下载*");
    return title;
}

int fileKindOf(std::string_view title) {
    const size_t dot = title.rfind('.');
    const std::string_view extension = dot == std::string_view::npos ? title : title.substr(dot + 1);
    if (listed(kArchiveExtensions, extension)) return kArchive;
    if (listed(kVideoExtensions, extension)) return kVideo;
    return kOther;
}

Text magnetLinkOf(std::string_view infoHash) {
    static constexpr std::string_view kPrefix = "magnet:?xt=urn:btih:";
    Text link;
    link.reserve(kPrefix.size() + infoHash.size());
    link.append(kPrefix).append(infoHash);
    return link;
}

void startDetailText(Text& detail, const Text& title) {
    static const Text label = gbk(u8"文件名：\r\n");
    detail.append(label).append(title);
}

void appendDownloadBlock(Text& detail, const Text& magnetLink) {
    static const Text before = gbk(u8"\r\n\r\n下载链接：");
    static const Text after =
        gbk(u8"\r\n用鼠标左键双击文件即可直接在线播放，或单击鼠标右键用迅雷影音播放。如不能播放，请使用迅雷下载。");
    detail.append(before).append(magnetLink).append(after);
}

void appendSiteLine(Text& detail, int site) {
    static const Text label = gbk(u8"\r\n\r\n文件分类：");
    detail.append(label).append(decimalText(site));
}

void trimSizeText(std::string_view raw, Bytes& out) {
    out.clear();
    const size_t dot = raw.rfind('.');
    if (dot != std::string_view::npos) out.append(raw.substr(0, dot + 2));  // substr stops at the end
    out.append(raw.substr(raw.size() >= 2 ? raw.size() - 2 : 0));
}

Bytes trimSizeText(std::string_view raw) {
    Bytes out;
    trimSizeText(raw, out);
    return out;
}

void unwrapFileItem(std::string_view raw, Bytes& out) {
    out.clear();
    const size_t firstOpen = raw.find('<');
    if (firstOpen == std::string_view::npos) return;
    out.append(raw.substr(0, firstOpen));
    const size_t firstClose = raw.find('>');
    const size_t lastOpen = raw.rfind('<');
    if (firstClose != std::string_view::npos && firstClose < lastOpen)
        out.append(raw.substr(firstClose + 1, lastOpen - firstClose - 1));
}

Bytes unwrapFileItem(std::string_view raw) {
    Bytes out;
    unwrapFileItem(raw, out);
    return out;
}

}  // namespace lanqi
