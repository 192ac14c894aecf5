#!/usr/bin/env python3
"""Writes the sample news site (GBK pages) into samples/site/.

Served at http://127.0.0.1:8765/ by `python3 -m http.server --bind 127.0.0.1 8765 --directory samples/site`;
the list pages link their articles by whole addresses on that origin, as the two-level rules need.
"""
import os

ORIGIN = "http://127.0.0.1:8765"
LIST_PAGES = 5
ITEMS_PER_PAGE = 10

PLACES = ["江南", "西湖", "黄山", "洞庭", "泰山", "长江", "塞北", "岭南", "蜀中", "关中"]
TOPICS = ["春茶开采", "古镇修缮", "图书馆开放", "桥梁通车", "果园丰收", "社区运动会", "非遗展览", "新校区落成",
          "湿地保护", "夜市开张"]
BODY = [
    "本报讯：{place}{topic}的消息传来，当地居民纷纷前往。",
    "据介绍，这次活动筹备了近三个月，共有{n}个单位参与。",
    "现场负责人表示，今后还将定期举办类似活动，欢迎大家参加。",
]

HERE = os.path.dirname(os.path.abspath(__file__))
SITE = os.path.join(HERE, "site")


def write(path, html):
    with open(path, "wb") as f:
        f.write(html.encode("gbk"))


def title_of(page, item):
    k = (page - 1) * ITEMS_PER_PAGE + (item - 1)
    return f"{PLACES[k % len(PLACES)]}{TOPICS[(k // len(PLACES) + k) % len(TOPICS)]}", k


def list_page(page):
    lines = ["<!DOCTYPE html>", "<html><head><meta charset=\"gbk\">",
             f"<title>新闻列表 第{page}页</title></head><body>", "<h2>本地新闻</h2>", "<ul class=\"news\">"]
    for item in range(1, ITEMS_PER_PAGE + 1):
        title, _ = title_of(page, item)
        lines.append(f"<li><a href=\"{ORIGIN}/news/{page}_{item}.html\">{title}</a></li>")
    lines.append("</ul>")
    nav = []
    if page > 1:
        nav.append(f"<a href=\"list_{page - 1}.html\">上一页</a>")
    if page < LIST_PAGES:
        nav.append(f"<a href=\"list_{page + 1}.html\">下一页</a>")
    lines.append("<p class=\"pages\">" + " ".join(nav) + "</p>")
    lines.append("</body></html>")
    return "\n".join(lines) + "\n"


def content_page(page, item):
    title, k = title_of(page, item)
    place, topic = title[:2], title[2:]
    paragraphs = "".join(f"<p>{p.format(place=place, topic=topic, n=k % 7 + 3)}</p>" for p in BODY)
    return "\n".join([
        "<!DOCTYPE html>", "<html><head><meta charset=\"gbk\">", f"<title>{title}</title></head><body>",
        f"<h1 class=\"title\">{title}</h1>",
        f"<div class=\"date\">2014年3月{k % 28 + 1}日</div>",
        f"<div class=\"body\">{paragraphs}</div>",
        f"<p><a href=\"../list_{page}.html\">返回列表</a></p>",
        "</body></html>",
    ]) + "\n"


def main():
    os.makedirs(os.path.join(SITE, "news"), exist_ok=True)
    write(os.path.join(SITE, "index.html"),
          "<html><head><meta charset=\"gbk\"><title>示例新闻网</title></head><body>"
          "<a href=\"list_1.html\">本地新闻</a></body></html>\n")
    for page in range(1, LIST_PAGES + 1):
        write(os.path.join(SITE, f"list_{page}.html"), list_page(page))
        for item in range(1, ITEMS_PER_PAGE + 1):
            write(os.path.join(SITE, "news", f"{page}_{item}.html"), content_page(page, item))


if __name__ == "__main__":
    main()
