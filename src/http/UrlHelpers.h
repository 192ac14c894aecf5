#pragma once
// Address and cookie helpers for HttpRequest. Stateless; every input yields a value, none fails.

#include "text/Text.h"

#include <string_view>
#include <vector>

namespace gleaner {

/// What follows the first ":" of a header line, trimmed; empty when there is no ":".
Text TextAfterColon(std::string_view text);

/// The host of an address, lower-cased. mainDomainOnly keeps the last two labels only;
/// keepPort keeps a ":port" behind the host.
Text UrlHost(std::string_view url, bool mainDomainOnly = false, bool keepPort = false);
/// The port of an address: the number behind the host's last ":", else 443 for https, else 80.
int UrlPort(std::string_view url);
/// The request path: from the first "/" behind the host to the end, in the caller's letter case
/// and with query and fragment; "/" when there is none.
Text UrlPath(std::string_view url);

/// Merges the cookies a response set (newCookies) into the older cookie text (cookies): the new
/// entries first, then the older ones whose names the new ones do not carry; "name=deleted"
/// entries are left out, duplicates dropped. Both variables lose their spaces; cookies receives
/// the merged text, which is also returned.
Text MergeCookies(Text& cookies, Text& newCookies);
/// The entry's name: the text before its first "=" (the whole entry without one), trimmed.
Text CookieName(std::string_view entry);
/// True when some member of the list has exactly this cookie name.
bool HasCookieName(const std::vector<Text>& list, std::string_view name);
/// The text's entries on the separator, each kept once (first occurrence), joined again.
Text RemoveDuplicates(std::string_view text, std::string_view separator);
/// The 1-based index of the first member equal to the text, -1 when none.
int IndexInList(const std::vector<Text>& list, std::string_view text);

} // namespace gleaner
