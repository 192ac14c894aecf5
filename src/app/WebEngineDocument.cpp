// The document calls as page scripts. Every script first checks our mark on the document, so a
// Document bound before a navigation never reads or acts on the page that replaced it.

#include "app/WebEngineDocument.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QWebEnginePage>

#include <atomic>

namespace gleaner {

namespace {

const char* TagName(ElementTag tag) {
    switch (tag) {
    case ElementTag::Input:
        return "input";
    case ElementTag::Button:
        return "button";
    case ElementTag::Link:
        return "a";
    }
    return "";
}

// Shared by the scripts: the mark test and reading a property as text (an SVG link's href and
// class are objects with a baseVal).
const QString kPrelude = QStringLiteral(
    "if (window.__gleanerMark !== a.mark) return null;\n"
    "function s(v) { if (typeof v === 'string') return v;"
    " if (v && typeof v.baseVal === 'string') return v.baseVal;"
    " return v === undefined || v === null ? '' : String(v); }\n");

const QString kBindScript = QStringLiteral(
    "if (window.__gleanerMark === undefined) window.__gleanerMark = a.mark;\n"
    "return String(window.__gleanerMark);");

const QString kLocationScript = QStringLiteral("return String(document.location.href);");

const QString kElementsScript = QStringLiteral(
    "var b = document.body;\n"
    "if (!b) return '[]';\n"
    "var list = b.getElementsByTagName(a.tag), out = new Array(list.length);\n"
    "for (var i = 0; i < list.length; ++i) {\n"
    "  var e = list[i];\n"
    "  out[i] = [s(e.type), s(e.name), s(e.id), s(e.title), s(e.href), s(e.innerText), s(e.className)];\n"
    "}\n"
    "return JSON.stringify(out);");

const QString kActionScript = QStringLiteral(
    "var b = document.body;\n"
    "if (!b) return null;\n"
    "var e = b.getElementsByTagName(a.tag)[a.index];\n"
    "if (!e) return null;\n"
    "var w = a.seen;\n"
    "if (w && (s(e.type) !== w.type || s(e.name) !== w.name || s(e.id) !== w.id || s(e.href) !== w.href))"
    " return null;\n"
    "if (a.action === 'value') e.value = a.value;\n"
    "else if (a.action === 'target') e.target = a.value;\n"
    "else e.click();\n"
    "return 'ok';");

std::atomic<long long> nextMark{1};

} // namespace

WebEngineDocument::WebEngineDocument(QPointer<QWebEnginePage> page, double mark, int timeoutMs)
    : page_(std::move(page)), mark_(mark), timeoutMs_(timeoutMs) {}

std::shared_ptr<WebEngineDocument> WebEngineDocument::Bind(const QPointer<QWebEnginePage>& page, int timeoutMs) {
    QJsonObject args{{"mark", static_cast<double>(nextMark++)}};
    std::optional<QString> answer = RunPageScript(page, ScriptWithArguments(kBindScript, args), timeoutMs);
    if (!answer)
        return nullptr;
    bool ok = false;
    const double mark = answer->toDouble(&ok);
    if (!ok)
        return nullptr;
    return std::make_shared<WebEngineDocument>(page, mark, timeoutMs);
}

Text WebEngineDocument::Location() {
    QJsonObject args{{"mark", mark_}};
    std::optional<QString> answer = RunPageScript(page_, ScriptWithArguments(kPrelude + kLocationScript, args),
                                                  timeoutMs_);
    return answer ? FromQString(*answer) : Text();
}

std::vector<ElementSnapshot> WebEngineDocument::Elements(ElementTag tag) {
    QJsonObject args{{"mark", mark_}, {"tag", TagName(tag)}};
    std::optional<QString> answer = RunPageScript(page_, ScriptWithArguments(kPrelude + kElementsScript, args),
                                                  timeoutMs_);
    std::vector<ElementSnapshot> result;
    std::vector<Seen> seen;
    if (answer) {
        const QJsonArray rows = QJsonDocument::fromJson(answer->toUtf8()).array();
        result.reserve(rows.size());
        seen.reserve(rows.size());
        for (qsizetype i = 0; i < rows.size(); ++i) {
            const QJsonArray row = rows[i].toArray();
            const QString type = row[0].toString(), name = row[1].toString(), id = row[2].toString(),
                          href = row[4].toString();
            ElementSnapshot e;
            e.index = static_cast<int>(i);
            e.type = FromQString(type);
            e.name = FromQString(name);
            e.id = FromQString(id);
            e.title = FromQString(row[3].toString());
            e.href = FromQString(href);
            e.innerText = FromQString(row[5].toString());
            e.className = FromQString(row[6].toString());
            result.push_back(std::move(e));
            seen.push_back({type, name, id, href});
        }
    }
    std::lock_guard lock(mutex_);
    seen_[tag] = std::move(seen);
    return result;
}

bool WebEngineDocument::Act(ElementTag tag, int index, const char* action, const QString& value) {
    if (index < 0)
        return false;
    QJsonObject args{{"mark", mark_}, {"tag", TagName(tag)}, {"index", index}, {"action", action}, {"value", value}};
    {
        std::lock_guard lock(mutex_);
        auto it = seen_.find(tag);
        if (it != seen_.end() && static_cast<std::size_t>(index) < it->second.size()) {
            const Seen& s = it->second[index];
            args.insert("seen", QJsonObject{{"type", s.type}, {"name", s.name}, {"id", s.id}, {"href", s.href}});
        }
    }
    std::optional<QString> answer = RunPageScript(page_, ScriptWithArguments(kPrelude + kActionScript, args),
                                                  timeoutMs_);
    return answer && *answer == QStringLiteral("ok");
}

bool WebEngineDocument::SetValue(ElementTag tag, int index, const Text& value) {
    return Act(tag, index, "value", ToQString(value));
}

bool WebEngineDocument::SetTarget(ElementTag tag, int index, const Text& target) {
    return Act(tag, index, "target", ToQString(target));
}

bool WebEngineDocument::Click(ElementTag tag, int index) { return Act(tag, index, "click", QString()); }

} // namespace gleaner
