#pragma once
// ArticlePublisher: logs in to a DedeCMS back end through the browser pane and posts every row of
// the result list as an article (title = column "1", body = column "2").

#include "collect/Clock.h"
#include "collect/ResultList.h"
#include "collect/RunView.h"
#include "page/BrowserPane.h"
#include "page/PageAutomation.h"

#include <string>

namespace gleaner {

struct PublishContext {
    std::string programDir;               // "发布配置.txt" is read from here
    ResultList* results = nullptr;
    RunView* view = nullptr;
    BrowserPane* pane = nullptr;          // null: no login is possible; every post goes out without one
    PageAutomation* automation = nullptr; // null: the process-wide instance
    const Clock* clock = nullptr;         // null: CurrentClock()
    int leastWaitMs = 5000;               // the fixed pause after sending the pane to the back end
    int loadTimeoutMs = 30000;            // bound on each wait for a page of the back end to load
};

/// One publishing pass on the calling thread.
void RunArticlePublisher(const PublishContext& context);
/// Starts a pass on a new detached thread and returns at once.
void StartArticlePublisher(PublishContext context);

/// year-month-day hour:minute, plain decimals ("2014-3-9 8:5").
Text PublicationTime(const LocalTime& time);
/// Percent-encodes bytes for a form body: unreserved ASCII stays, every other byte is %XX.
Text PercentEncode(std::string_view bytes);
/// The code-page text converted to the back end's character set ("UTF-8", "GBK", …). The GB family
/// and an unknown or empty charset keep the code-page bytes.
Bytes ToCharset(const Text& text, const Text& charset);
/// Bytes in the back end's character set converted to the code page.
Text FromCharset(const Bytes& bytes, const Text& charset);
/// The charset named by the last Content-Type line of a raw header text that names one (after
/// redirects the text holds every answer's header block, the page's last); empty when none does.
Text AnswerCharset(const Text& responseHeaders);
/// The article form's body: its fifteen pieces with the values converted and percent-encoded.
Text ArticleFormBody(const Text& title, const Text& body, const Text& tags, const Text& columnId,
                     const Text& keywords, const Text& publicationTime, const Text& charset);

} // namespace gleaner
