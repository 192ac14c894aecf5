// The lookup rules of PageAutomation over a scripted document: candidates, counting, skip counts,
// ordinals, the button-element pass, the binding rules.

#include "page/PageAutomation.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <map>
#include <thread>

namespace gleaner {
namespace {

class ScriptedDocument : public Document {
public:
    Text location = "http://127.0.0.1/page.html";
    std::map<ElementTag, std::vector<ElementSnapshot>> elements;
    std::vector<std::string> actions; // "value input 2 =secret", "target a 1 =", "click a 1"

    void Add(ElementTag tag, ElementSnapshot e) {
        auto& list = elements[tag];
        e.index = static_cast<int>(list.size());
        list.push_back(std::move(e));
    }
    Text Location() override { return location; }
    std::vector<ElementSnapshot> Elements(ElementTag tag) override { return elements[tag]; }
    bool SetValue(ElementTag tag, int index, const Text& value) override {
        actions.push_back("value " + Name(tag) + " " + std::to_string(index) + " =" + value);
        return true;
    }
    bool SetTarget(ElementTag tag, int index, const Text& target) override {
        actions.push_back("target " + Name(tag) + " " + std::to_string(index) + " =" + target);
        return true;
    }
    bool Click(ElementTag tag, int index) override {
        actions.push_back("click " + Name(tag) + " " + std::to_string(index));
        return true;
    }
    static std::string Name(ElementTag tag) {
        return tag == ElementTag::Input ? "input" : tag == ElementTag::Button ? "button" : "a";
    }
};

class ScriptedPane : public BrowserPane {
public:
    std::shared_ptr<Document> shown;
    std::function<void()> onAsk;
    void Navigate(const Text&) override {}
    std::shared_ptr<Document> ShownDocument() override {
        if (onAsk)
            onAsk();
        return shown;
    }
    bool WaitForLoad(int) override { return true; }
    Text DocumentCharset() override { return "UTF-8"; }
};

ElementSnapshot Input(Text type, Text name, Text id = "", Text title = "") {
    ElementSnapshot e;
    e.type = std::move(type);
    e.name = std::move(name);
    e.id = std::move(id);
    e.title = std::move(title);
    return e;
}

ElementSnapshot Link(Text text, Text href = "http://127.0.0.1/x", Text id = "", Text title = "", Text cls = "") {
    ElementSnapshot e;
    e.innerText = std::move(text);
    e.href = std::move(href);
    e.id = std::move(id);
    e.title = std::move(title);
    e.className = std::move(cls);
    return e;
}

class PageAutomationTest : public ::testing::Test {
protected:
    void SetUp() override {
        doc = std::make_shared<ScriptedDocument>();
        pane.shown = doc;
        ASSERT_TRUE(automation.BindToWindow(&pane));
    }
    std::shared_ptr<ScriptedDocument> doc;
    ScriptedPane pane;
    PageAutomation automation;
};

TEST(PageAutomationBind, NullPaneAndMissingDocument) {
    PageAutomation automation;
    EXPECT_FALSE(automation.BindToWindow(nullptr));
    EXPECT_EQ(automation.Window(), nullptr);

    ScriptedPane empty;
    EXPECT_FALSE(automation.BindToWindow(&empty)); // nothing loaded, nothing bound before
    EXPECT_EQ(automation.Window(), &empty);
    EXPECT_EQ(automation.GetLocation(), "");
    EXPECT_FALSE(automation.ClickLink("1"));
    EXPECT_FALSE(automation.SetInputValue("1", "v"));
    EXPECT_FALSE(automation.ClickButton("1"));

    auto first = std::make_shared<ScriptedDocument>();
    first->location = "http://127.0.0.1/first.html";
    ScriptedPane loaded;
    loaded.shown = first;
    EXPECT_TRUE(automation.BindToWindow(&loaded));
    // A later pane without a document keeps the earlier document bound.
    EXPECT_TRUE(automation.BindToWindow(&empty));
    EXPECT_EQ(automation.GetLocation(), "http://127.0.0.1/first.html");
    // A null pane changes nothing, not even the remembered pane.
    EXPECT_FALSE(automation.BindToWindow(nullptr));
    EXPECT_EQ(automation.Window(), &empty);
    EXPECT_EQ(automation.BoundDocument(), first);

    // Copies share the document.
    PageAutomation copy(automation);
    EXPECT_EQ(copy.BoundDocument(), first);
    EXPECT_EQ(copy.Window(), &empty);
}

TEST(PageAutomationBind, LockIsFreeWhileThePaneIsAsked) {
    // The pane may take up to a second to answer; other threads must not wait on the lock meanwhile.
    PageAutomation automation;
    ScriptedPane pane;
    pane.shown = std::make_shared<ScriptedDocument>();
    std::atomic<bool> otherFinished{false};
    pane.onAsk = [&] {
        std::thread([&] {
            automation.GetLocation();
            otherFinished = true;
        }).detach();
        for (int i = 0; i < 200 && !otherFinished; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    };
    EXPECT_TRUE(automation.BindToWindow(&pane));
    EXPECT_TRUE(otherFinished);
}

TEST_F(PageAutomationTest, TextInputsIgnoreOtherTypes) {
    doc->Add(ElementTag::Input, Input("checkbox", "pwd"));
    doc->Add(ElementTag::Input, Input("hidden", "pwd"));
    doc->Add(ElementTag::Input, Input("submit", "pwd"));
    doc->Add(ElementTag::Input, Input("text", "userid"));
    doc->Add(ElementTag::Input, Input("password", "pwd"));
    doc->Add(ElementTag::Input, Input("file", "upload"));

    EXPECT_TRUE(automation.SetInputValue("pwd", "secret"));
    EXPECT_TRUE(automation.SetInputValue("userid", "admin"));
    ASSERT_EQ(doc->actions.size(), 2u);
    EXPECT_EQ(doc->actions[0], "value input 4 =secret");
    EXPECT_EQ(doc->actions[1], "value input 3 =admin");

    // Ordinals count only the text, password and file inputs.
    struct Case {
        Text identifier;
        int index;
        int counter;
    } cases[] = {{"1", 3, 1}, {"2", 4, 2}, {"３"_t, 5, 3}, {" +3abc", 5, 3}, {"4", -1, -1}, {"0", -1, -1},
                 {"-1", -1, -1}, {"nothing", -1, -1}};
    for (const Case& c : cases) {
        int counter = 0;
        auto found = automation.FindInput("text|password|file", c.identifier, 0, counter);
        EXPECT_EQ(found.index, c.index) << c.identifier;
        EXPECT_EQ(counter, c.counter) << c.identifier;
        EXPECT_EQ(found.tag, ElementTag::Input);
    }
    EXPECT_FALSE(automation.SetInputValue("nothing", "x"));
    EXPECT_EQ(doc->actions.size(), 2u);
}

TEST_F(PageAutomationTest, PropertiesAreComparedWholeAndCaseSensitively) {
    doc->Add(ElementTag::Input, Input("text", "Name", "theId", "a title"));
    struct Case {
        Text identifier;
        int index;
    } cases[] = {{"Name", 0}, {"theId", 0}, {"a title", 0}, {"name", -1}, {"NAME", -1}, {"Nam", -1},
                 {"theid", -1}, {"a", -1}, {"", -1}};
    for (const Case& c : cases)
        EXPECT_EQ(automation.FindTextInput(c.identifier, 0).index, c.index) << c.identifier;
}

TEST_F(PageAutomationTest, TypeIsASubstringOfTheList) {
    // The type is looked up inside the list text, so part of a listed type also counts.
    for (Text type : {"text", "password", "file", "ext", "", "checkbox", "Text", "image", "hidden", "submit"})
        doc->Add(ElementTag::Input, Input(type, "f"));
    int counter = 0;
    auto found = automation.FindInput("text|password|file", "99", 0, counter);
    EXPECT_FALSE(found);
    EXPECT_EQ(counter, -1);
    // Counted: text, password, file, ext, "" = 5 candidates; the sixth ordinal does not exist.
    counter = 0;
    EXPECT_EQ(automation.FindInput("text|password|file", "5", 0, counter).index, 4);
    EXPECT_EQ(counter, 5);
    EXPECT_FALSE(automation.FindTextInput("6", 0));
    // The counter carries on from the caller's value.
    counter = 3;
    EXPECT_EQ(automation.FindInput("text|password|file", "5", 0, counter).index, 1);
}

TEST_F(PageAutomationTest, SkipCountPassesOverNamedMatchesOnly) {
    doc->Add(ElementTag::Input, Input("text", "q"));
    doc->Add(ElementTag::Input, Input("text", "other"));
    doc->Add(ElementTag::Input, Input("text", "x", "q"));
    doc->Add(ElementTag::Input, Input("text", "y", "", "q"));
    EXPECT_EQ(automation.FindTextInput("q", 0).index, 0);
    EXPECT_EQ(automation.FindTextInput("q", 1).index, 2);
    EXPECT_EQ(automation.FindTextInput("q", 2).index, 3);
    EXPECT_FALSE(automation.FindTextInput("q", 3));
    // The ordinal test ignores the skip count.
    EXPECT_EQ(automation.FindTextInput("2", 5).index, 1);
}

TEST_F(PageAutomationTest, ButtonsThenButtonElements) {
    doc->Add(ElementTag::Input, Input("text", "userid"));
    doc->Add(ElementTag::Input, Input("submit", "go"));
    doc->Add(ElementTag::Input, Input("reset", "clear"));
    doc->Add(ElementTag::Button, Input("submit", "sm1"));
    doc->Add(ElementTag::Button, Input("button", "more"));

    EXPECT_TRUE(automation.ClickButton("sm1"));
    ASSERT_EQ(doc->actions.size(), 1u);
    EXPECT_EQ(doc->actions[0], "click button 0");

    // Ordinals go on after the two counted inputs.
    int counter = 0;
    auto found = automation.FindInput("button|submit|reset", "3", 0, counter);
    EXPECT_EQ(found.tag, ElementTag::Button);
    EXPECT_EQ(found.index, 0);
    EXPECT_EQ(counter, 3);
    found = automation.FindButton("4", 0);
    EXPECT_EQ(found.tag, ElementTag::Button);
    EXPECT_EQ(found.index, 1);
    EXPECT_FALSE(automation.FindButton("5", 0));
    EXPECT_FALSE(automation.ClickButton("SM1"));

    // A text-input lookup never looks at button elements.
    EXPECT_FALSE(automation.FindTextInput("sm1", 0));
    EXPECT_FALSE(automation.SetInputValue("2", "x"));
}

TEST_F(PageAutomationTest, SubmitInputBeforeButtonElementAndSkipCarriesOn) {
    doc->Add(ElementTag::Input, Input("submit", "sm1"));
    doc->Add(ElementTag::Button, Input("submit", "", "sm1"));
    auto found = automation.FindButton("sm1", 0);
    EXPECT_EQ(found.tag, ElementTag::Input);
    EXPECT_EQ(found.index, 0);
    found = automation.FindButton("sm1", 1);
    EXPECT_EQ(found.tag, ElementTag::Button);
    EXPECT_EQ(found.index, 0);
    EXPECT_FALSE(automation.FindButton("sm1", 2));
}

TEST_F(PageAutomationTest, ButtonElementPassOnlyForListsHoldingButton) {
    doc->Add(ElementTag::Button, Input("submit", "sm1"));
    int counter = 0;
    EXPECT_FALSE(automation.FindInput("submit|reset", "sm1", 0, counter));
    EXPECT_EQ(counter, -1);
    counter = 0;
    auto found = automation.FindInput("button|submit", "sm1", 0, counter);
    EXPECT_EQ(found.tag, ElementTag::Button);
    EXPECT_EQ(found.index, 0);
}

TEST_F(PageAutomationTest, LinksByPropertiesSkipAndOrdinal) {
    doc->Add(ElementTag::Link, Link("首页"_t, "http://127.0.0.1/index.html"));
    doc->Add(ElementTag::Link, Link("下一页"_t, "http://127.0.0.1/list2.html", "", "", "next"));
    doc->Add(ElementTag::Link, Link("Next", "http://127.0.0.1/n", "nid", "Go on"));
    doc->Add(ElementTag::Link, Link("下一页"_t, "http://127.0.0.1/list3.html"));

    struct Case {
        Text identifier;
        int skip;
        int index;
        int counter;
    } cases[] = {
        {"下一页"_t, 0, 1, 2}, {"下一页"_t, 1, 3, 4}, {"下一页"_t, 2, -1, -1},
        {"http://127.0.0.1/list3.html", 0, 3, 4}, {"/list3.html", 0, -1, -1},
        {"nid", 0, 2, 3}, {"Go on", 0, 2, 3}, {"next", 0, 1, 2}, {"Next", 0, 2, 3}, {"NEXT", 0, -1, -1},
        {"3", 0, 2, 3}, {"３"_t, 7, 2, 3}, {"5", 0, -1, -1}, {"", 0, -1, -1},
    };
    for (const Case& c : cases) {
        int counter = 0;
        auto found = automation.FindLinkElement(c.identifier, c.skip, counter);
        EXPECT_EQ(found.index, c.index) << ToUtf8(c.identifier) << " skip " << c.skip;
        EXPECT_EQ(counter, c.counter) << ToUtf8(c.identifier) << " skip " << c.skip;
        if (found) {
            EXPECT_EQ(found.tag, ElementTag::Link);
        }
    }
}

TEST_F(PageAutomationTest, ClickLinkActions) {
    doc->Add(ElementTag::Link, Link("a"));
    doc->Add(ElementTag::Link, Link("下一页"_t));
    EXPECT_TRUE(automation.ClickLink("下一页"_t));
    EXPECT_TRUE(automation.ClickLink("下一页"_t, 0, true));
    EXPECT_FALSE(automation.ClickLink("上一页"_t, 0, true));
    EXPECT_FALSE(automation.ClickLink("下一页"_t, 1));
    const std::vector<std::string> expected = {"click a 1", "target a 1 =", "click a 1"};
    EXPECT_EQ(doc->actions, expected);
}

TEST_F(PageAutomationTest, ProcessInstanceIsOne) {
    EXPECT_EQ(&ProcessPageAutomation(), &ProcessPageAutomation());
}

} // namespace
} // namespace gleaner
