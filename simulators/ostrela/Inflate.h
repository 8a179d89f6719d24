#pragma once
// Decompression of deflate streams (RFC 1951) as PNG files carry them inside a zlib
// wrapper. The sensor library ships alone, so it decodes its few image files itself
// rather than depending on a compression library next to it.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace mivex::ostrela {

// Decompresses a zlib stream (RFC 1950: header, deflate data, Adler-32 check) into
// `out`. Fails with `error` set when the data is damaged, a preset dictionary is asked
// for, the check sum differs or the output would exceed `maxOut` bytes.
bool InflateZlib(const std::uint8_t* data, std::size_t size, std::size_t maxOut, std::vector<std::uint8_t>& out,
                 std::string& error);

}  // namespace mivex::ostrela
