// The element lookups over the bound document: which candidates count, the order in which their
// properties are compared with the identifier, skip counts and the identifier read as an ordinal.

#include "page/PageAutomation.h"

#include "config/TaggedText.h"

#include <initializer_list>

namespace gleaner {

namespace {

const Text kTextInputTypes = "text|password|file";
const Text kButtonTypes = "button|submit|reset";

// An empty identifier would equal every empty property (a link without id, class or title) and so
// pick an arbitrary element; it names nothing.
bool Names(const Text& identifier, std::initializer_list<const Text*> properties) {
    if (identifier.empty())
        return false;
    for (const Text* p : properties)
        if (*p == identifier)
            return true;
    return false;
}

// One pass of the input lookup over one tag's candidates; counter and skipCount carry on.
int ScanInputs(const std::vector<ElementSnapshot>& candidates, const Text& typeList, const Text& identifier,
               int ordinal, int& skipCount, int& counter) {
    for (const ElementSnapshot& e : candidates) {
        if (typeList.find(e.type) == Text::npos)
            continue; // not a candidate of this kind, not counted
        ++counter;
        if (Names(identifier, {&e.name, &e.id, &e.title})) {
            if (skipCount > 0) {
                --skipCount;
                continue;
            }
            return e.index;
        }
        if (counter == ordinal)
            return e.index;
    }
    return -1;
}

} // namespace

PageAutomation::PageAutomation(const PageAutomation& other) {
    std::lock_guard lock(other.mutex_);
    document_ = other.document_;
    window_ = other.window_;
}

PageAutomation& PageAutomation::operator=(const PageAutomation& other) {
    if (this == &other)
        return *this;
    std::shared_ptr<Document> document;
    BrowserPane* window = nullptr;
    {
        std::lock_guard lock(other.mutex_);
        document = other.document_;
        window = other.window_;
    }
    std::lock_guard lock(mutex_);
    document_ = std::move(document);
    window_ = window;
    return *this;
}

bool PageAutomation::BindToWindow(BrowserPane* pane) {
    if (!pane)
        return false;
    {
        std::lock_guard lock(mutex_);
        window_ = pane;
    }
    // Asking the pane may wait for the UI thread; the lock stays free meanwhile.
    std::shared_ptr<Document> shown = pane->ShownDocument();
    std::lock_guard lock(mutex_);
    if (shown)
        document_ = std::move(shown);
    return document_ != nullptr;
}

std::shared_ptr<Document> PageAutomation::BoundDocument() const {
    std::lock_guard lock(mutex_);
    return document_;
}

BrowserPane* PageAutomation::Window() const {
    std::lock_guard lock(mutex_);
    return window_;
}

Text PageAutomation::GetLocation() {
    std::shared_ptr<Document> document = BoundDocument();
    return document ? document->Location() : Text();
}

namespace {

PageAutomation::Found FindInputIn(Document* document, const Text& typeList, const Text& identifier, int skipCount,
                                  int& counter) {
    if (document) {
        const int ordinal = TextToInt(identifier);
        int index = ScanInputs(document->Elements(ElementTag::Input), typeList, identifier, ordinal, skipCount, counter);
        if (index >= 0)
            return {ElementTag::Input, index};
        if (typeList.find("button") != Text::npos) {
            index = ScanInputs(document->Elements(ElementTag::Button), typeList, identifier, ordinal, skipCount,
                               counter);
            if (index >= 0)
                return {ElementTag::Button, index};
        }
    }
    counter = -1;
    return {};
}

PageAutomation::Found FindLinkIn(Document* document, const Text& identifier, int skipCount, int& counter) {
    if (document) {
        const int ordinal = TextToInt(identifier);
        for (const ElementSnapshot& e : document->Elements(ElementTag::Link)) {
            ++counter; // every link counts
            if (Names(identifier, {&e.href, &e.id, &e.title, &e.innerText, &e.className})) {
                if (skipCount > 0) {
                    --skipCount;
                    continue;
                }
                return {ElementTag::Link, e.index};
            }
            if (counter == ordinal)
                return {ElementTag::Link, e.index};
        }
    }
    counter = -1;
    return {};
}

} // namespace

PageAutomation::Found PageAutomation::FindInput(const Text& typeList, const Text& identifier, int skipCount,
                                                int& counter) {
    return FindInputIn(BoundDocument().get(), typeList, identifier, skipCount, counter);
}

PageAutomation::Found PageAutomation::FindLinkElement(const Text& identifier, int skipCount, int& counter) {
    return FindLinkIn(BoundDocument().get(), identifier, skipCount, counter);
}

PageAutomation::Found PageAutomation::FindTextInput(const Text& identifier, int skipCount) {
    int counter = 0;
    return FindInput(kTextInputTypes, identifier, skipCount, counter);
}

PageAutomation::Found PageAutomation::FindButton(const Text& identifier, int skipCount) {
    int counter = 0;
    return FindInput(kButtonTypes, identifier, skipCount, counter);
}

PageAutomation::Found PageAutomation::FindLink(const Text& identifier, int skipCount) {
    int counter = 0;
    return FindLinkElement(identifier, skipCount, counter);
}

// Each action looks up and acts on one document, even if another thread binds a new one meanwhile.
bool PageAutomation::SetInputValue(const Text& identifier, const Text& value, int skipCount) {
    std::shared_ptr<Document> document = BoundDocument();
    int counter = 0;
    const Found found = FindInputIn(document.get(), kTextInputTypes, identifier, skipCount, counter);
    return found && document->SetValue(found.tag, found.index, value);
}

bool PageAutomation::ClickButton(const Text& identifier, int skipCount) {
    std::shared_ptr<Document> document = BoundDocument();
    int counter = 0;
    const Found found = FindInputIn(document.get(), kButtonTypes, identifier, skipCount, counter);
    return found && document->Click(found.tag, found.index);
}

bool PageAutomation::ClickLink(const Text& identifier, int skipCount, bool clearTarget) {
    std::shared_ptr<Document> document = BoundDocument();
    int counter = 0;
    const Found found = FindLinkIn(document.get(), identifier, skipCount, counter);
    if (!found)
        return false;
    if (clearTarget)
        document->SetTarget(found.tag, found.index, Text());
    return document->Click(found.tag, found.index);
}

PageAutomation& ProcessPageAutomation() {
    static PageAutomation instance;
    return instance;
}

} // namespace gleaner
