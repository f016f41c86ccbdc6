#include "app/core/client_start.h"

#include <string>

#include "app/core/background.h"
#include "app/core/vendor.h"
#include "platform/net.h"

namespace lanqi {

void runVendorVisitAndUpdateCheck(ShellCommands& commands, EventPump& events,
                                  const std::function<bool()>& programEnding) {
    runDetached([page = vendorPageAddress(commands.vendorBase())] { fetchUrl(page); });

    const auto fetched = runProcessingEvents(
        [file = versionFileAddress(commands.vendorBase())] { return fetchUrl(file); }, events, programEnding);
    if (!fetched) return;
    commands.setVersionFile(*fetched);
    if (!programEnding()) commands.checkForUpdateAtStartUp();
}

Text settingsProblemsText(const LoadedSettings& settings) {
    if (settings.problems.empty()) return {};
    Text text = gbk(u8"设置文件有错误，以下各项改用内置值：\r\n");
    for (const SettingsProblem& problem : settings.problems) {
        std::string line = problem.where(settings.file) + "：";
        line += problem.chinese();
        Text shown = gbk(line);
        if (shown.empty()) shown = gbk("第" + std::to_string(problem.line) + "行：" + problem.english());
        text += "\r\n" + shown;
    }
    return text;
}

void reportSettingsProblems(MessageBoxes& messages, const Window* owner, const LoadedSettings& settings) {
    const Text text = settingsProblemsText(settings);
    if (text.empty()) return;
    messages.showMessageBox(text, kMessageOk | kMessageIconWarning, gbk(u8"设置错误"), owner);
}

MessageAnswer askToSetUpSites(MessageBoxes& messages, const Window* owner) {
    return messages.showMessageBox(
        gbk(u8"还没有设置搜索站点：内置的站点地址只是占位地址，没有网站会应答，所以这次没有搜索。\r\n\r\n"
            u8"请在“站点设置”中填写可用的搜索网站地址（右键菜单或 Ctrl+, 也能打开）。现在打开“站点设置”吗？"),
        kMessageYesNo | kMessageIconQuestion, gbk(u8"尚未设置搜索站点"), owner);
}

void tellKeywordUnsearchable(MessageBoxes& messages, const Window* owner) {
    messages.showMessageBox(gbk(u8"关键词中有无法搜索的字符（搜索网站只接受简体中文、英文和数字等常用字符），"
                                u8"请修改关键词后重试。"),
                            kMessageOk | kMessageIconInformation, gbk(u8"无法搜索"), owner);
}

}  // namespace lanqi
