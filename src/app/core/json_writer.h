#pragma once

#include <string>
#include <string_view>

namespace lanqi {

// Appends `utf8Text` as a JSON string literal (quotes included). Bytes that are not valid UTF-8 are
// written as U+FFFD so the output is always valid JSON.
void appendJsonString(std::string& out, std::string_view utf8Text);

// A flat JSON object built field by field, in order.
class JsonObject {
  public:
    JsonObject& text(std::string_view name, std::string_view utf8Value);
    JsonObject& number(std::string_view name, long long value);
    JsonObject& boolean(std::string_view name, bool value);
    JsonObject& raw(std::string_view name, std::string_view json);
    std::string str() const { return m_body + "}"; }

  private:
    void key(std::string_view name);
    std::string m_body = "{";
};

}  // namespace lanqi
