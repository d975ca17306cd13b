// SHA-256 (FIPS 180-4), to compare output files with recorded digests.
#pragma once

#include <string>

#include "support/decode_run.h"

std::string sha256_hex(const Bytes& data);
