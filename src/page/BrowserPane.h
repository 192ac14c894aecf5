#pragma once
// The BrowserPane port: the embedded browser the runs and the publisher drive.

#include "page/Document.h"
#include "text/Text.h"

#include <memory>

namespace gleaner {

class BrowserPane {
public:
    virtual ~BrowserPane() = default;
    /// Starts loading the address and returns at once; the page loads in the background.
    virtual void Navigate(const Text& address) = 0;
    /// The document shown now, or null when none can be had (nothing loaded, browser busy past the
    /// time-out, window closing). Called from worker threads.
    virtual std::shared_ptr<Document> ShownDocument() = 0;
    /// Waits, bounded by timeoutMs, until the shown page has finished loading. True when it has.
    virtual bool WaitForLoad(int timeoutMs) = 0;
    /// The character set the shown document declares (e.g. "UTF-8", "GBK"); empty when unknown.
    virtual Text DocumentCharset() = 0;
};

} // namespace gleaner
