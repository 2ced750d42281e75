// A small strict JSON reader for checking the probe's output in tests.
// Throws std::runtime_error on malformed input, which fails the test.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace testjson {

struct Value;
using Array = std::vector<Value>;
using Object = std::map<std::string, Value>;

struct Value {
    std::variant<std::nullptr_t, bool, double, std::string, std::shared_ptr<Array>,
                 std::shared_ptr<Object>>
        v;

    const Value& operator[](const std::string& key) const {
        const auto& o = *std::get<std::shared_ptr<Object>>(v);
        auto it = o.find(key);
        if (it == o.end()) throw std::runtime_error("no key " + key);
        return it->second;
    }
    const Value& operator[](size_t i) const { return array().at(i); }
    const Array& array() const { return *std::get<std::shared_ptr<Array>>(v); }
    const Object& object() const { return *std::get<std::shared_ptr<Object>>(v); }
    const std::string& str() const { return std::get<std::string>(v); }
    long long num() const { return static_cast<long long>(std::get<double>(v)); }
    size_t size() const { return array().size(); }
    std::vector<std::string> strings() const {
        std::vector<std::string> out;
        for (const Value& e : array()) out.push_back(e.str());
        return out;
    }
};

class Reader {
  public:
    explicit Reader(std::string_view text) : s_(text) {}
    Value document() {
        Value v = value();
        ws();
        if (i_ != s_.size()) fail("trailing bytes");
        return v;
    }

  private:
    [[noreturn]] void fail(const char* what) {
        throw std::runtime_error(std::string("bad JSON (") + what + ") at " + std::to_string(i_));
    }
    void ws() {
        while (i_ < s_.size() &&
               (s_[i_] == ' ' || s_[i_] == '\n' || s_[i_] == '\r' || s_[i_] == '\t'))
            ++i_;
    }
    bool eat(char c) {
        ws();
        if (i_ < s_.size() && s_[i_] == c) return ++i_, true;
        return false;
    }
    void expect(char c) {
        if (!eat(c)) fail("expected punctuation");
    }
    Value value() {
        ws();
        if (i_ >= s_.size()) fail("end of text");
        const char c = s_[i_];
        if (c == '{') return object();
        if (c == '[') return array();
        if (c == '"') return Value{string()};
        if (s_.substr(i_, 4) == "true") return i_ += 4, Value{true};
        if (s_.substr(i_, 5) == "false") return i_ += 5, Value{false};
        if (s_.substr(i_, 4) == "null") return i_ += 4, Value{nullptr};
        return number();
    }
    Value object() {
        expect('{');
        auto o = std::make_shared<Object>();
        if (!eat('}')) {
            do {
                ws();
                std::string key = string();
                expect(':');
                (*o)[key] = value();
            } while (eat(','));
            expect('}');
        }
        return Value{o};
    }
    Value array() {
        expect('[');
        auto a = std::make_shared<Array>();
        if (!eat(']')) {
            do a->push_back(value());
            while (eat(','));
            expect(']');
        }
        return Value{a};
    }
    Value number() {
        const size_t start = i_;
        if (i_ < s_.size() && s_[i_] == '-') ++i_;
        while (i_ < s_.size() && ((s_[i_] >= '0' && s_[i_] <= '9') || s_[i_] == '.' ||
                                  s_[i_] == 'e' || s_[i_] == 'E' || s_[i_] == '+'))
            ++i_;
        if (start == i_) fail("unexpected character");
        return Value{std::stod(std::string(s_.substr(start, i_ - start)))};
    }
    std::string string() {
        if (i_ >= s_.size() || s_[i_] != '"') fail("expected string");
        ++i_;
        std::string out;
        for (;;) {
            if (i_ >= s_.size()) fail("unterminated string");
            const auto c = static_cast<unsigned char>(s_[i_++]);
            if (c == '"') return out;
            if (c < 0x20) fail("raw control character");
            if (c != '\\') {
                out += static_cast<char>(c);
                continue;
            }
            if (i_ >= s_.size()) fail("bad escape");
            const char e = s_[i_++];
            switch (e) {
                case '"': out += '"'; break;
                case '\\': out += '\\'; break;
                case '/': out += '/'; break;
                case 'b': out += '\b'; break;
                case 'f': out += '\f'; break;
                case 'n': out += '\n'; break;
                case 'r': out += '\r'; break;
                case 't': out += '\t'; break;
                case 'u': {
                    if (i_ + 4 > s_.size()) fail("short \\u");
                    const unsigned cp = static_cast<unsigned>(
                        std::stoul(std::string(s_.substr(i_, 4)), nullptr, 16));
                    i_ += 4;
                    if (cp >= 0xD800 && cp < 0xE000) fail("surrogate");
                    if (cp < 0x80) {
                        out += static_cast<char>(cp);
                    } else if (cp < 0x800) {
                        out += static_cast<char>(0xC0 | (cp >> 6));
                        out += static_cast<char>(0x80 | (cp & 0x3F));
                    } else {
                        out += static_cast<char>(0xE0 | (cp >> 12));
                        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
                        out += static_cast<char>(0x80 | (cp & 0x3F));
                    }
                    break;
                }
                default: fail("bad escape");
            }
        }
    }

    std::string_view s_;
    size_t i_ = 0;
};

inline Value parse(std::string_view text) {
    return Reader(text).document();
}

}  // namespace testjson
