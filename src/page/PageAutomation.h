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
    PageAutomation() = default;
    virtual ~PageAutomation() = default;
    /// A copy shares the bound document and remembers the same pane.
    PageAutomation(const PageAutomation& other);
    PageAutomation& operator=(const PageAutomation& other);

    /// Binds the document the pane shows now. False when pane is null (nothing changes) or when no
    /// document is bound after the call (a failed bind keeps an earlier document bound).
    bool BindToWindow(BrowserPane* pane);
    /// The bound document's full address; empty when none is bound.
    Text GetLocation();
    /// Writes value into the text, password or file input found by identifier. True when written.
    bool SetInputValue(const Text& identifier, const Text& value, int skipCount = 0);
    /// Clicks the button, submit or reset input (then the button element) found by identifier.
    bool ClickButton(const Text& identifier, int skipCount = 0);
    /// Clicks the link found by identifier; clearTarget empties its target first so it opens in
    /// the frame that holds it.
    bool ClickLink(const Text& identifier, int skipCount = 0, bool clearTarget = false);

    struct Found {
        ElementTag tag = ElementTag::Input;
        int index = -1; // -1: nothing found
        explicit operator bool() const { return index >= 0; }
    };
    /// Looks through the inputs whose type occurs in typeList (then the button elements when the
    /// list holds "button"); counter counts the candidates and becomes -1 when nothing is found.
    Found FindInput(const Text& typeList, const Text& identifier, int skipCount, int& counter);
    /// Looks through the links; every link counts; counter becomes -1 when nothing is found.
    Found FindLinkElement(const Text& identifier, int skipCount, int& counter);
    Found FindTextInput(const Text& identifier, int skipCount);
    Found FindButton(const Text& identifier, int skipCount);
    Found FindLink(const Text& identifier, int skipCount);

    /// The bound document (null when none).
    std::shared_ptr<Document> BoundDocument() const;
    /// The pane last given to BindToWindow (null before).
    BrowserPane* Window() const;

private:
    mutable std::mutex mutex_; // guards the two members; never held during a document call
    std::shared_ptr<Document> document_;
    BrowserPane* window_ = nullptr;
};

/// The one process-wide instance.
PageAutomation& ProcessPageAutomation();

} // namespace gleaner
