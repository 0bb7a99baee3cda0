// Fuzzes the argument tail against a plain model of the rule, on code pages 1252 and 932.
// Input: the first byte picks the code page (odd: 932), the rest up to a zero byte is the command line.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>

#include "startup.h"

namespace {

bool cp932;

bool Lead(unsigned char c)
{
    return cp932 && ((c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC));
}

BOOL WINAPI LeadByte(BYTE c)
{
    return Lead(c) ? TRUE : FALSE;
}

// The rule, read off its wording one clause at a time, by index.
size_t ModelTail(const std::string &line)
{
    const size_t n = line.size();
    size_t i = 0;
    if (n > 0 && line[0] == '"') {
        for (i = 1; i < n && line[i] != '"'; ++i) {
            if (Lead(static_cast<unsigned char>(line[i])) && i + 1 < n) {
                ++i;  // the trail byte goes with its lead byte, untested
            }
        }
        if (i < n) {
            ++i;  // the closing quote belongs to the name
        }
    } else {
        while (i < n && static_cast<unsigned char>(line[i]) > 32) {
            ++i;
        }
    }
    while (i < n && static_cast<unsigned char>(line[i]) >= 1 && static_cast<unsigned char>(line[i]) <= 32) {
        ++i;
    }
    return i;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0) {
        return 0;
    }
    cp932 = (data[0] & 1) != 0;
    std::string line(reinterpret_cast<const char *>(data + 1), size - 1);
    line.resize(std::min(line.size(), line.find('\0')));
    std::string buffer = line;  // terminated by std::string, so over-reads show up under ASan
    const char *tail = ArgumentTail(&buffer[0], LeadByte);
    if (static_cast<size_t>(tail - buffer.c_str()) != ModelTail(line)) {
        __builtin_trap();
    }
    return 0;
}
