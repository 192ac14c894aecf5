#pragma once
// The publishing settings file "发布配置.txt" in the program folder: seven tagged lines.

#include "text/Text.h"

#include <string>

namespace gleaner {

struct PublishSettings {
    Text backendAddress; // [后台网址编辑框]
    Text account;        // [后台账号编辑框]
    Text password;       // [后台密码编辑框]
    Text columnId;       // [栏目ID编辑框]
    Text tags;           // [内容标签编辑框]
    Text keywords;       // [内容关键字编辑框]
    Text publish;        // [是否发布]: "否", "是" or empty; the publisher does not read it
};

/// programDir + "/发布配置.txt".
std::string PublishSettingsPath(const std::string& programDir);
/// Reads every value afresh; a missing file or key gives empty values (nothing is trimmed).
PublishSettings LoadPublishSettings(const std::string& programDir);
/// Writes the seven lines in their fixed order, joined by "\r\n", no trailing break, no
/// byte-order mark, replacing the file atomically. False when it could not be written.
bool SavePublishSettings(const std::string& programDir, const PublishSettings& settings);

} // namespace gleaner
