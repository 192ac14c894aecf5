#pragma once
// PageAutomation: the lookups and actions on the document shown in the browser pane. One
// process-wide instance, called from worker threads; the rules live here, the browser behind the
// Document port.

#include "page/BrowserPane.h"
#include "page/Document.h"

#include <memory>
#include <mutex>

namespace gleaner {

class PageAutomation {
public:
    /// Binds the document the pane shows now. False when pane is null (nothing changes) or when no
    /// document is bound after the call (a failed bind keeps an earlier document bound).
    bool BindToWindow(BrowserPane* pane);
    /// The bound document's full address; empty when none is bound.
    Text GetLocation();
    bool SetInputValue(const Text& identifier, const Text& value, int skipCount = 0);
    bool ClickButton(const Text& identifier, int skipCount = 0);
    bool ClickLink(const Text& identifier, int skipCount = 0, bool clearTarget = false);

    struct Found {
        ElementTag tag = ElementTag::Input;
        int index = -1; // -1: nothing found
        explicit operator bool() const { return index >= 0; }
    };
    Found FindInput(const Text& typeList, const Text& identifier, int skipCount, int& counter);
    Found FindLinkElement(const Text& identifier, int skipCount, int& counter);
    Found FindTextInput(const Text& identifier, int skipCount);
    Found FindButton(const Text& identifier, int skipCount);
    Found FindLink(const Text& identifier, int skipCount);

    /// The bound document (null when none).
    std::shared_ptr<Document> BoundDocument() const;

private:
    mutable std::mutex mutex_;
    std::shared_ptr<Document> document_;
    BrowserPane* window_ = nullptr;
};

/// The one process-wide instance.
PageAutomation& ProcessPageAutomation();

} // namespace gleaner
