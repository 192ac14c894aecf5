#pragma once
// RegexObject: applies one regular expression to a whole page and keeps the match set.
// PCRE2 in UTF mode with ECMAScript-like options; texts in and out are code-page bytes.
// The engine sees characters (the subject goes to UTF-8), but every match and group comes back as
// the exact bytes of the subject. Each object belongs to one thread; copies share the compiled
// pattern and the match set, which are never changed after FindAll made them.

#include "text/Text.h"

#include <memory>

namespace gleaner {

class RegexObject {
public:
    RegexObject();
    virtual ~RegexObject();
    RegexObject(const RegexObject& other); // shares engine and match set, copies the subject
    RegexObject& operator=(const RegexObject& other);

    /// Compiles a fresh engine and finds every match (global) of pattern in subject. Options:
    /// ignore case unless caseSensitive; multiLine and global default on; quoteMarker turns each
    /// "#引号" into a double quote. True when a match set was obtained (also with 0 matches).
    virtual bool FindAll(const Text& pattern, const Text& subject, bool caseSensitive = false, bool multiLine = true,
                         bool global = true, bool quoteMarker = false);
    virtual void Noop();
    virtual Text GetPattern() const;
    virtual Text ReplaceMatches(const Text& replacement) const;
    virtual int MatchCount() const;
    /// Whole text of match n (1-based); empty when out of range.
    virtual Text GetMatch(int n) const;
    /// Capture group m (1-based) of match n; empty when out of range or the group did not take part.
    virtual Text GetSubMatch(int n, int m) const;
    /// Number of capture groups of the first match; 0 when there is no match.
    virtual int SubMatchCount() const;

    /// Why the last FindAll gave no match set ("missing closing parenthesis at character 3",
    /// "match limit exceeded"); empty text after a successful FindAll or before the first.
    Text ErrorText() const;

    struct Engine;   // compiled pattern
    struct MatchSet; // offsets of every match and group into the subject
private:
    std::shared_ptr<Engine> engine_;
    std::shared_ptr<const MatchSet> matches_;
    Text subject_;
};

} // namespace gleaner
