"""The six sample sites' result pages. Each site has its own layout; the markers a scraper relies on are
the ones the real sites of this kind print, everything else is ordinary page furniture."""

from html import escape
from urllib.parse import quote

SITE_NAMES = {
    1: "手撕包菜 - 磁力链接搜索",
    2: "爱磁力 - 磁力搜索",
    3: "种子搜索站",
    4: "BT种子磁力链接搜索引擎",
    5: "磁力链 - 种子搜索",
    6: "磁力链接搜索引擎",
}
HIGHLIGHT = {
    1: ('<span class="highlight">', "</span>"),
    2: ("<b>", "</b>"),
    3: ("<em>", "</em>"),
    4: ('<span class="mhl">', "</span>"),
    5: ("<b>", "</b>"),
    6: ('<span class="highlight">', "</span>"),
}
SITE3_PREFIX = "Details for torrent: "
TRACKER = "&tr=udp%3A%2F%2Ftracker.example%3A80"


def highlighted(site, title, keyword):
    """The title as link text: escaped, every occurrence of the keyword wrapped in the site's tags."""
    if not keyword:
        return escape(title)
    opening, closing = HIGHLIGHT[site]
    return (opening + escape(keyword) + closing).join(escape(piece) for piece in title.split(keyword))


def display_name(item):
    """Site6's "&dn=" value: characters that would end the attribute or the link are percent-encoded,
    and some items write blanks as "+"."""
    name = "".join(c if ord(c) > 0x7F else quote(c, safe=" '()[],;:!*@$/=+~-_.") for c in item.title)
    return name.replace(" ", "+") if item.plus_encoded else name


def shown_title(site, item):
    """The title a scraper of `site` reads for `item`."""
    if site == 3:
        return SITE3_PREFIX + escape(item.title)
    if site == 6:
        return display_name(item)
    return escape(item.title)


def head(site, keyword):
    k = escape(keyword)
    return ('<!DOCTYPE html>\n<html lang="zh-CN"><head><meta charset="utf-8">\n'
            '<meta name="viewport" content="width=device-width, initial-scale=1">\n'
            '<title>%s - %s</title>\n<meta name="keywords" content="%s,磁力链接,BT种子">\n'
            '<link rel="stylesheet" href="/static/css/style.css">\n'
            '<script src="/static/js/jquery.min.js"></script>\n</head>\n<body>\n'
            '<div class="nav"><ul><li><a href="/">首页</a></li><li><a href="/hot">热门搜索</a></li>'
            '<li><a href="/new">最新收录</a></li></ul></div>\n'
            '<form class="search-form" method="get"><input type="text" name="q" value="%s">'
            '<button type="submit">搜索</button></form>\n' % (k, SITE_NAMES[site], k, k))


def foot(site, page_no, shown):
    pager = ""
    if shown:
        pager = '<div class="pager"><span>第 %d 页</span> <a rel="next">下一页</a></div>\n' % page_no
    empty = "" if shown else '<div class="empty">没有找到相关结果，请换个关键词试试。</div>\n'
    return (empty + pager + '<div class="footer"><ul><li><a href="/about">关于我们</a></li>'
            '<li><a href="/dmca">免责声明</a></li></ul><p>&copy; 2024 本站不存储任何资源</p></div>\n'
            '<script>var _hmt = _hmt || [];</script>\n</body></html>\n')


def site1(keyword, page_no, items, total):
    out = ['<div class="search-statu"><span>共找到 %d 条关于 "%s" 的结果，用时 0.012 秒</span></div>\n'
           '<div class="search-list">\n' % (total, escape(keyword))]
    for item in items:
        files = ""
        if item.files:
            files = "\n<ul>" + "".join("<li>%s %s</li>" % (escape(n), s) for n, s in item.files) + "</ul>"
        out.append(
            '<div class="search-item">\n<div class="item-title"><h3><a title="%s" class="title-link" '
            'href="/info/%s" target="_blank">%s</a></h3></div>\n'
            '<div class="item-list"><span class="ctime">%s</span>%s</div>\n'
            '<div class="item-bar tail">文件数: %d 大小: %s 请求数: %d 更新时间: %s '
            '<a class="magnet" href="magnet:?xt=urn:btih:%s&dn=%s%s">磁力链接</a></div>\n</div>\n'
            % (escape(item.title), item.hash.lower(), highlighted(1, item.title, keyword), item.created, files,
               item.file_count, item.size, item.requests, item.recent, item.hash, quote(item.title),
               TRACKER))
    return "".join(out) + "</div>\n"


def site2(keyword, page_no, items, total):
    out = ['<div class="search-list">\n']
    for item in items:
        files = ""
        if item.files:
            files = ('<ul class="files">' + "".join("<li>%s %s</li>" % (escape(n), s) for n, s in item.files)
                     + "</ul></p><p>")
        out.append(
            '<div class="item"><h3><a target="_blank" href="/info/%s">%s</a></h3><p>%s%s</span> '
            '创建时间：<b>%s</b> 文件大小：<b>%s</b> 下载热度：<b>%d</b> 最近下载：<b>%s</b></p></div>\n'
            % (item.hash, highlighted(2, item.title, keyword), files, item.kind_word, item.created, item.size,
               item.popularity, item.recent))
    return "".join(out) + "</div>\n"


def site3(keyword, page_no, items, total):
    out = ['<div class="info">大约有 <b>{:,}</b> 项符合查询结果，以下是第 {} 页</div>\n'.format(total, page_no)]
    for item in items:
        out.append(
            '<div class="item"><div class="title"><a href="/t/%s.html" target="_blank">%s%s</a></div>\n'
            '<div class="desc">Hash：%s <span>%s %s</span> <span>Size:%s</span> <span>Files:%d</span></div></div>\n'
            % (item.hash, SITE3_PREFIX, highlighted(3, item.title, keyword), item.hash, item.created, item.time,
               item.size, item.file_count))
    return "".join(out)


def site4(keyword, page_no, items, total):
    out = []
    for item in items:
        out.append(
            '<div class="search-item"><div class="item-title"><h3><a target="_blank" href="/hash/%s">%s</a></h3>'
            '</div>\n<div class="item-bar"><span>种子大小:<span> %s</span></span> <span>文件数量:<span> %d</span>'
            '</span> <span>创建时间:<span> %s </span></span> <span>热度:<span> %d</span></span></div></div>\n'
            % (item.hash, highlighted(4, item.title, keyword), item.size, item.file_count, item.created,
               item.popularity))
    return "".join(out)


def site5(keyword, page_no, items, total):
    out = ['<div class="search-statu"><span>大约 %d 条结果，用时 0.03 秒</span></div>\n' % total]
    for n, item in enumerate(items):
        extra = "?src=list&amp;p=%d" % page_no if n % 5 == 0 else ""
        files = "".join('<li>%s <span class="cpill yellow-pill">%s</span></li>' % (escape(f), s)
                        for f, s in item.files)
        out.append(
            '<div class="search-item"><div class="item-title"><h3><a href="/hash/%s.html%s" target="_blank">%s'
            '</a></h3></div>\n<div class="item-list"><ul>%s</ul></div>\n'
            '<div class="item-bar"><span class="cpill fileType1">%s</span> <span>创建时间：<b>%s</b></span> '
            '<span>文件大小：<b class="cpill yellow-pill">%s</b></span> <span>下载热度：<b>%d</b></span> '
            '<span>最近下载：<b>%s</b></span></div></div>\n'
            % (item.hash, extra, highlighted(5, item.title, keyword), files, item.kind_word, item.created,
               item.size, item.popularity, item.recent))
    return "".join(out)


def site6(keyword, page_no, items, total):
    out = ['<div class="top">共找到 %d 条结果, 用时 0.01 秒</div>\n' % total]
    for item in items:
        out.append(
            '<div class="ss"><div class="item-title"><a href="/t/%s" target="_blank">%s</a></div>\n'
            '<div class="item-meta">收录时间：<b>%s</b> 大小：<b>%s</b> 文件数：<b>%d</b> '
            '<a href="magnet:?xt=urn:btih:%s&dn=%s">磁力链接</a></div></div>\n'
            % (item.hash, highlighted(6, item.title, keyword), item.created, item.size, item.file_count,
               item.hash, display_name(item)))
    return "".join(out)


BODIES = {1: site1, 2: site2, 3: site3, 4: site4, 5: site5, 6: site6}


def render(site, keyword, page_no, items, total):
    body = BODIES[site](keyword, page_no, items, total)
    return (head(site, keyword) + body + foot(site, page_no, items)).encode("utf-8")


def error_page():
    return (b"<!DOCTYPE html>\n<html><head><title>404 Not Found</title></head><body>\n"
            b"<h1>Not Found</h1><p>The requested URL was not found on this server.</p>\n</body></html>\n")
