#include "output/ArticlePublisher.h"

#include "http/HttpRequest.h"
#include "output/PublishSettings.h"
#include "text/Charset.h"

#include <algorithm>
#include <chrono>
#include <thread>

namespace gleaner {
namespace {

using SteadyClock = std::chrono::steady_clock;

bool IsGbFamily(const Text& charset) {
    const Text c = ToLowerAscii(Trim(charset));
    return c.empty() || c == "gbk" || c == "gb2312" || c == "gb18030" || c == "x-gbk" || c == "cp936";
}

bool IsUtf8(const Text& charset) {
    const Text c = ToLowerAscii(Trim(charset));
    return c == "utf-8" || c == "utf8";
}

} // namespace

Text AnswerCharset(const Text& headers) {
    Text charset;
    for (const Text& line : Split(headers, "\r\n")) {
        if (Find(line, "content-type:", 1, true) != 1)
            continue;
        const int at = Find(line, "charset=", 1, true);
        if (at < 0)
            continue;
        Text value = Trim(line.substr(static_cast<std::size_t>(at - 1) + 8));
        if (!value.empty() && (value[0] == '"' || value[0] == '\''))
            value.erase(0, 1);
        const std::size_t end = value.find_first_of("; \"'");
        charset = end == Text::npos ? value : value.substr(0, end);
    }
    return charset;
}

namespace {

void Sleep(int ms) {
    if (ms > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

int MsLeft(SteadyClock::time_point deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - SteadyClock::now()).count();
    return static_cast<int>(std::max<long long>(left, 0));
}

// After the login click: waits until the document that was clicked has been replaced (it then
// answers no address, even when the answer page has the same one) and the new page has loaded.
// Bounded by timeoutMs; a click that starts no navigation costs the whole bound.
void WaitForNextPage(BrowserPane& pane, Document& clicked, int timeoutMs) {
    const auto deadline = SteadyClock::now() + std::chrono::milliseconds(timeoutMs);
    while (SteadyClock::now() < deadline) {
        if (clicked.Location().empty()) {
            pane.WaitForLoad(MsLeft(deadline));
            return;
        }
        Sleep(100);
    }
}

} // namespace

Text PublicationTime(const LocalTime& t) {
    return NumberText(t.year) + "-" + NumberText(t.month) + "-" + NumberText(t.day) + " " + NumberText(t.hour) + ":" +
           NumberText(t.minute);
}

Text PercentEncode(std::string_view bytes) {
    static const char* hex = "0123456789ABCDEF";
    Text out;
    out.reserve(bytes.size() * 3);
    for (unsigned char c : bytes) {
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '_' ||
            c == '.' || c == '~') {
            out.push_back(static_cast<char>(c));
        } else {
            out.push_back('%');
            out.push_back(hex[c >> 4]);
            out.push_back(hex[c & 15]);
        }
    }
    return out;
}

Bytes ToCharset(const Text& text, const Text& charset) {
    if (IsGbFamily(charset))
        return text;
    if (IsUtf8(charset))
        return ToUtf8(text);
    std::string out;
    if (ConvertCharset("GB18030", Trim(charset), text, out))
        return out;
    return text;
}

Text FromCharset(const Bytes& bytes, const Text& charset) {
    if (IsGbFamily(charset))
        return bytes;
    if (IsUtf8(charset))
        return FromUtf8(bytes);
    std::string out;
    if (ConvertCharset(Trim(charset), "GB18030", bytes, out))
        return out;
    return bytes;
}

Text ArticleFormBody(const Text& title, const Text& body, const Text& tags, const Text& columnId, const Text& keywords,
                     const Text& publicationTime, const Text& charset) {
    auto value = [&](const Text& v) { return PercentEncode(ToCharset(v, charset)); };
    Text form;
    form += "&channelid=1&dopost=save&title=";
    form += value(title);
    form += "&shorttitle=&redirecturl=&tags=";
    form += value(tags);
    form += "&weight=8&picname=&litpic=; filename===Content-Type: application/octet-stream&source=&writer=&typeid=";
    form += value(columnId);
    form += "&typeid2=&keywords=";
    form += value(keywords);
    form += "&autokey=1&description=";
    form += value(Text()); // the description stays empty
    form += "&dede_addonfields=&remote=1&autolitpic=1&needwatermark=1&sptype=hand&spsize=5&body=";
    form += value(body);
    form += "&notpost=0&click=170&sortup=0&color=&arcrank=0&money=0&pubdate=";
    form += value(publicationTime);
    form += "&ishtml=1&filename=&templet=&imageField.x=13&imageField.y=7";
    return form;
}

void RunArticlePublisher(const PublishContext& context) {
    PageAutomation& automation = context.automation ? *context.automation : ProcessPageAutomation();
    const Clock& clock = context.clock ? *context.clock : CurrentClock();
    const PublishSettings settings = LoadPublishSettings(context.programDir);

    if (context.pane)
        context.pane->Navigate(settings.backendAddress);
    if (context.view)
        context.view->SetStatus("正在准备发布，请等待……"_t);
    // The fixed pause stays as the least wait; then the login page must also have finished loading.
    Sleep(context.leastWaitMs);
    Text charset;
    if (context.pane) {
        context.pane->WaitForLoad(context.loadTimeoutMs);
        automation.BindToWindow(context.pane);
        const std::shared_ptr<Document> loginPage = automation.BoundDocument();
        // The form body goes out in the charset the back end's pages declare.
        charset = context.pane->DocumentCharset();
        automation.SetInputValue("userid", settings.account);
        automation.SetInputValue("pwd", settings.password);
        if (automation.ClickButton("sm1") && loginPage)
            WaitForNextPage(*context.pane, *loginPage, context.loadTimeoutMs);
        if (charset.empty())
            charset = context.pane->DocumentCharset();
    }

    const Text formAddress = settings.backendAddress + "/article_add.php";
    const int rows = context.results ? context.results->RowCount() : 0;
    for (int row = 0; row < rows; ++row) {
        const Text title = context.results->Cell(row, 1);
        const Text body = context.results->Cell(row, 2);
        const Text time = PublicationTime(clock.Now());
        Text headers = "Referer: " + formAddress;
        Text responseHeaders;
        HttpRequestArgs args;
        args.method = 1;
        args.postText = ArticleFormBody(title, body, settings.tags, settings.columnId, settings.keywords, time, charset);
        args.headers = &headers;
        args.responseHeaders = &responseHeaders;
        const Bytes answer = HttpRequest(formAddress, args);
        Text answerCharset = AnswerCharset(responseHeaders);
        if (answerCharset.empty())
            answerCharset = charset;
        if (charset.empty())
            charset = answerCharset; // later posts go in the charset the back end answered in
        const bool ok = Contains(FromCharset(answer, answerCharset), "成功发布文章"_t);
        if (context.view)
            context.view->SetStatus((ok ? "发布成功"_t : "发布失败了！"_t) + NumberText(row + 1) + "条"_t);
    }
}

void StartArticlePublisher(PublishContext context) {
    std::thread([context] { RunArticlePublisher(context); }).detach();
}

} // namespace gleaner
