#pragma once
// The Document port: the page shown in the browser pane, as the element lookups need it.
// The WebEngine side runs one script per call in the page; the lookup rules stay in C++.

#include "text/Text.h"

#include <vector>

namespace gleaner {

// The element collections the lookups walk: body.getElementsByTagName("input" / "button" / "a").
enum class ElementTag { Input, Button, Link };

// One candidate element's properties, read in one snapshot.
struct ElementSnapshot {
    int index = 0; // 0-based position in its tag's collection, in document order
    Text type, name, id, title, href /* resolved, full address */, innerText, className;
};

/// The bound document. Every call answers within the adapter's time-out (1000 ms for the browser);
/// a document that is gone, loading elsewhere or hung answers empty / false.
class Document {
public:
    virtual ~Document() = default;
    /// The document's full address; empty when unknown.
    virtual Text Location() = 0;
    /// The candidates of one tag inside the body, in document order (empty without a body).
    virtual std::vector<ElementSnapshot> Elements(ElementTag tag) = 0;
    /// Writes the element's "value" property. False when the element is not there.
    virtual bool SetValue(ElementTag tag, int index, const Text& value) = 0;
    /// Writes the element's "target" property.
    virtual bool SetTarget(ElementTag tag, int index, const Text& target) = 0;
    /// Calls the element's click(); the navigation or submission it starts goes on in the browser.
    virtual bool Click(ElementTag tag, int index) = 0;
};

} // namespace gleaner
