#include "support/fixtures.h"

#include <fstream>
#include <sstream>
#include <stdexcept>

namespace {

// Just enough JSON for expected.json: objects, arrays, strings, integers.
class JsonReader {
public:
    explicit JsonReader(std::string text) : text_(std::move(text)) {}

    void expect(char c) {
        skip_space();
        if (pos_ >= text_.size() || text_[pos_] != c) throw std::runtime_error(std::string("expected ") + c);
        ++pos_;
    }
    bool next_is(char c) {
        skip_space();
        return pos_ < text_.size() && text_[pos_] == c;
    }
    std::string string() {
        expect('"');
        std::string out;
        while (text_.at(pos_) != '"') {
            char c = text_[pos_++];
            if (c == '\\') {
                const char e = text_.at(pos_++);
                switch (e) {
                    case 'n': c = '\n'; break;
                    case 't': c = '\t'; break;
                    case 'u': c = static_cast<char>(std::stoi(text_.substr(pos_, 4), nullptr, 16)); pos_ += 4; break;
                    default: c = e;
                }
            }
            out += c;
        }
        ++pos_;
        return out;
    }
    long long integer() {
        skip_space();
        size_t used = 0;
        const long long value = std::stoll(text_.substr(pos_, 24), &used);
        pos_ += used;
        return value;
    }

private:
    void skip_space() {
        while (pos_ < text_.size() && std::isspace(static_cast<unsigned char>(text_[pos_]))) ++pos_;
    }
    std::string text_;
    size_t pos_ = 0;
};

}  // namespace

std::vector<FixtureExpectation> load_fixture_expectations(const std::string& json_path) {
    std::ifstream in(json_path);
    std::stringstream buffer;
    buffer << in.rdbuf();
    JsonReader json(buffer.str());

    std::vector<FixtureExpectation> fixtures;
    json.expect('{');
    while (!json.next_is('}')) {
        FixtureExpectation fixture;
        fixture.name = json.string();
        json.expect(':');
        json.expect('{');
        while (!json.next_is('}')) {
            const std::string key = json.string();
            json.expect(':');
            if (key == "exit_status") {
                fixture.exit_status = static_cast<int>(json.integer());
            } else if (key == "bmp_size") {
                fixture.bmp_size = json.integer();
            } else if (key == "bmp_sha256") {
                fixture.bmp_sha256 = json.string();
            } else if (key == "trace") {
                json.expect('[');
                while (!json.next_is(']')) {
                    fixture.trace.push_back(json.string());
                    if (json.next_is(',')) json.expect(',');
                }
                json.expect(']');
            } else {
                throw std::runtime_error("unknown key " + key);
            }
            if (json.next_is(',')) json.expect(',');
        }
        json.expect('}');
        fixtures.push_back(fixture);
        if (json.next_is(',')) json.expect(',');
    }
    return fixtures;
}

std::string joined(const std::vector<std::string>& lines) {
    std::string out;
    for (const std::string& line : lines) out += line;
    return out;
}
