#pragma once
// The Document port over a QWebEnginePage: the document the page showed when it was bound. Each
// call runs one script in the page; once the page has moved on to another document (a navigation,
// a click elsewhere), the calls answer empty / false instead of acting on a page nobody looked at.

#include "app/WebEngineScript.h"
#include "page/Document.h"

#include <QPointer>
#include <QString>

#include <map>
#include <memory>
#include <mutex>
#include <vector>

class QWebEnginePage;

namespace gleaner {

class WebEngineDocument final : public Document {
public:
    /// Marks the document page shows now and returns it bound; null when the page is gone or does
    /// not answer within timeoutMs. Any thread.
    static std::shared_ptr<WebEngineDocument> Bind(const QPointer<QWebEnginePage>& page,
                                                   int timeoutMs = kDocumentCallTimeoutMs);

    Text Location() override;
    std::vector<ElementSnapshot> Elements(ElementTag tag) override;
    bool SetValue(ElementTag tag, int index, const Text& value) override;
    bool SetTarget(ElementTag tag, int index, const Text& target) override;
    bool Click(ElementTag tag, int index) override;

    WebEngineDocument(QPointer<QWebEnginePage> page, double mark, int timeoutMs);

private:
    // What an action checks before it touches element `index`: the element the snapshot saw.
    struct Seen {
        QString type, name, id, href;
    };
    bool Act(ElementTag tag, int index, const char* action, const QString& value);

    QPointer<QWebEnginePage> page_;
    double mark_; // our mark on the bound document (a number, exact in JavaScript)
    int timeoutMs_;
    std::mutex mutex_;
    std::map<ElementTag, std::vector<Seen>> seen_;
};

} // namespace gleaner
