#pragma once
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace thermivo {

/// A parsed JSON value: enough for the command-line tool's recording import and export.
class JsonValue {
public:
    using Array = std::vector<JsonValue>;
    using Object = std::map<std::string, JsonValue>;

    JsonValue() = default;
    explicit JsonValue(std::nullptr_t) {}
    explicit JsonValue(bool b) : value_(b) {}
    explicit JsonValue(double d) : value_(d) {}
    explicit JsonValue(std::string s) : value_(std::move(s)) {}
    explicit JsonValue(Array a) : value_(std::make_shared<Array>(std::move(a))) {}
    explicit JsonValue(Object o) : value_(std::make_shared<Object>(std::move(o))) {}

    bool isNull() const { return std::holds_alternative<std::monostate>(value_); }
    bool isBool() const { return std::holds_alternative<bool>(value_); }
    bool isNumber() const { return std::holds_alternative<double>(value_); }
    bool isString() const { return std::holds_alternative<std::string>(value_); }
    bool isArray() const { return std::holds_alternative<std::shared_ptr<Array>>(value_); }
    bool isObject() const { return std::holds_alternative<std::shared_ptr<Object>>(value_); }

    bool asBool() const { return std::get<bool>(value_); }
    double asNumber() const { return std::get<double>(value_); }
    const std::string& asString() const { return std::get<std::string>(value_); }
    const Array& asArray() const { return *std::get<std::shared_ptr<Array>>(value_); }
    const Object& asObject() const { return *std::get<std::shared_ptr<Object>>(value_); }

    /// Member of an object, or nullptr when this is not an object or has no such key.
    const JsonValue* find(const std::string& key) const;

private:
    std::variant<std::monostate, bool, double, std::string, std::shared_ptr<Array>, std::shared_ptr<Object>> value_;
};

/// Parses a whole JSON text; on failure returns nothing and sets *error to the reason and position.
std::optional<JsonValue> parseJson(std::string_view text, std::string* error = nullptr);

/// A JSON string literal (with quotes) for UTF-8 text.
std::string jsonQuote(std::string_view s);

/// The shortest JSON number text that reads back as the same float / double.
std::string jsonNumber(float v);
std::string jsonNumber(double v);

}  // namespace thermivo
