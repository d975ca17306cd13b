// The recorded outcome of each real file in tests/data, read from
// expected.json.
#pragma once

#include <string>
#include <vector>

struct FixtureExpectation {
    std::string name;
    int exit_status = 0;
    std::vector<std::string> trace;  // the lines after the prompt, up to the time report
    long long bmp_size = 0;
    std::string bmp_sha256;
};

std::vector<FixtureExpectation> load_fixture_expectations(const std::string& json_path);

std::string joined(const std::vector<std::string>& lines);
