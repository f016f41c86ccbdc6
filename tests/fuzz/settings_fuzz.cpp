// The input is read as config.toml and as a site definition. Each reading must accept it or refuse it with
// at least one problem that names a line of the input, never fault or run the stack out. Run with the
// built-in definitions and a settings file as the corpus, inputs up to 1 MiB (the largest file either is read
// from):
//   build/fuzz/tests/fuzz/settings_fuzz -max_total_time=300 -max_len=1048576 -dict=tests/fuzz/settings.dict \
//     <corpus> sites
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "platform/settings.h"
#include "scrape/site_definition.h"

namespace {

long lineCount(std::string_view text) {
    long lines = 1;
    for (const char c : text) lines += c == '\n';
    return lines;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const long lines = lineCount(text);

    const lanqi::LoadedSettings settings = lanqi::parseSettingsText(text, "config.toml");
    for (const lanqi::SettingsProblem& problem : settings.problems)
        if (problem.line < 0 || problem.line > lines || problem.english().empty()) std::abort();
    if (settings.problems.empty() != settings.report(false).empty()) std::abort();

    std::vector<lanqi::SettingsProblem> problems;
    const lanqi::SiteDefinitionPtr definition = lanqi::parseSiteDefinition(text, "fuzz", "fuzz.toml", problems);
    if ((definition == nullptr) == problems.empty()) std::abort();
    for (const lanqi::SettingsProblem& problem : problems)
        if (problem.line < 0 || problem.line > lines) std::abort();

    // The settings written back over this text (edited in place when it can be) read as what was written.
    if (settings.problems.empty()) {
        lanqi::Settings changed = settings.settings;
        changed.sites[2].base = "http://127.0.0.1:9/edited";
        changed.sites[4].enabled = !changed.sites[4].enabled;
        changed.swarm.trackers.push_back("udp://127.0.0.1:9/announce");
        changed.swarm.timeoutSeconds = changed.swarm.timeoutSeconds % lanqi::kMaxSwarmTimeoutSeconds + 1;
        const std::string edited = lanqi::editedSettingsText(text, changed);
        if (!edited.empty()) {
            const lanqi::LoadedSettings again = lanqi::parseSettingsText(edited, "config.toml");
            if (again.settings.sites[2].base != changed.sites[2].base ||
                again.settings.sites[4].enabled != changed.sites[4].enabled ||
                again.settings.swarm.trackers != changed.swarm.trackers ||
                again.settings.swarm.timeoutSeconds != changed.swarm.timeoutSeconds)
                std::abort();
        }
    }
    return 0;
}
