#include "actions/blank_page.h"

#include "platform/product.h"

namespace lanqi {

const Bytes& localBlankPage() {
    static const Bytes page = [] {
        std::u8string html =
            u8"<html>\r\n"
            u8"<head>\r\n"
            u8"<meta http-equiv=\"Content-Language\" content=\"zh-cn\">\r\n"
            u8"<meta http-equiv=\"Content-Type\" content=\"text/html; charset=gb2312\">\r\n"
            u8"<meta name=\"GENERATOR\" content=\"岚栖种子搜索神器 ";
        html += reinterpret_cast<const char8_t*>(kProductVersionText);
        html +=
            u8"\">\r\n"
            u8"<meta name=\"robots\" content=\"noindex, nofollow\">\r\n"
            u8"<meta name=\"description\" content=\"岚栖种子搜索神器 结束页\">\r\n"
            u8"<title>岚栖种子搜索神器</title>\r\n"
            u8"<style type=\"text/css\">\r\n"
            u8"html, body { height: 100%; }\r\n"
            u8"body { margin: 0; padding: 0; background-color: #FFFFFF; color: #2F6F78; overflow: hidden; }\r\n"
            u8"p { margin: 0 0 8px 0; line-height: 18px; font-size: 12px; }\r\n"
            u8"p.name { margin-top: 24px; line-height: 40px; letter-spacing: 2px; }\r\n"
            u8"</style>\r\n"
            u8"</head>\r\n"
            u8"<!-- 播放结束后显示的本地空白页：替换云播页面，使视频停止播放。不含脚本，不引用任何网络或本地资源。 "
            u8"-->\r\n"
            u8"<body scroll=\"no\">\r\n";
        for (int i = 0; i < 11; ++i) html += u8"<p align=\"center\">\u3000</p>\r\n";
        html +=
            u8"<p class=\"name\" align=\"center\"><font face=\"楷体\" style=\"font-size: "
            u8"26pt\">岚栖种子搜索神器</font></p>\r\n"
            u8"</body>\r\n"
            u8"</html>\r\n";
        return gbk(html);
    }();
    return page;
}

}  // namespace lanqi
