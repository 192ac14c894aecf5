#include "output/PublishSettings.h"

#include "config/FileIo.h"
#include "config/TaggedText.h"

namespace gleaner {
namespace {

struct Key {
    const char* utf8;
    Text PublishSettings::*field;
};

// The file's order of lines.
const Key kKeys[] = {
    {"后台网址编辑框", &PublishSettings::backendAddress}, {"后台账号编辑框", &PublishSettings::account},
    {"后台密码编辑框", &PublishSettings::password},       {"栏目ID编辑框", &PublishSettings::columnId},
    {"内容标签编辑框", &PublishSettings::tags},           {"内容关键字编辑框", &PublishSettings::keywords},
    {"是否发布", &PublishSettings::publish},
};

} // namespace

std::string PublishSettingsPath(const std::string& programDir) { return JoinPath(programDir, "发布配置.txt"); }

PublishSettings LoadPublishSettings(const std::string& programDir) {
    const std::string path = PublishSettingsPath(programDir);
    PublishSettings s;
    // Each value is read from the file afresh, so an edit saved meanwhile is seen.
    for (const Key& key : kKeys)
        s.*key.field = ReadTaggedField(path, FromUtf8(key.utf8));
    return s;
}

bool SavePublishSettings(const std::string& programDir, const PublishSettings& settings) {
    std::vector<std::pair<Text, Text>> fields;
    for (const Key& key : kKeys)
        fields.emplace_back(FromUtf8(key.utf8), settings.*key.field);
    return WriteTaggedText(PublishSettingsPath(programDir), fields);
}

} // namespace gleaner
