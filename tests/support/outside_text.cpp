#include "outside_text.h"

#include <random>

std::vector<std::pair<std::string, std::string>> outside_texts(void)
{
    std::vector<std::pair<std::string, std::string>> texts;
    auto runs = [](size_t n) { std::string s; while (n--) s += REPLACEMENT; return s; };
    for (int b = 0; b < 256; b++) {  // alone, no byte above 7F is a character
        const std::string byte(1, static_cast<char>(b));
        texts.push_back({"A" + byte + "B", b == 0 ? "A" : "A" + (b < 0x80 ? byte : runs(1)) + "B"});
    }
    for (std::string whole : {"\xDF\xBF", "\xE0\xA0\x80", "\xED\x9F\xBF", "\xEF\xBF\xBD", "\xF0\x90\x80\x80", "\xF3\xBF\xBF\xBF", "\xF4\x8F\xBF\xBF"})
        for (size_t cut = 1; cut < whole.size(); cut++)  // a character's start is one run, 7F just below the next byte
            texts.insert(texts.end(), {{"A" + whole.substr(0, cut) + "\x7F", "A" + runs(1) + "\x7F"}, {"A" + whole.substr(0, cut), "A" + runs(1)}});
    // Overlong, a surrogate, past U+10FFFF, the library's 6- and 8-byte forms: each byte is a run.
    for (std::string bad : {"\xC0\x80", "\xE0\x9F\x80", "\xED\xA0\x80", "\xF0\x8F\x80\x80", "\xF4\x90\x80\x80", "\xFD\x91\x91\x91\x91\x91", "\xFF\x91\x91\x91\x91\x91\x91\x91"})
        texts.push_back({bad, runs(bad.size())});
    texts.push_back({std::string(8, '\xFF') + std::string(8, '\x91') + std::string(10, '\xFF') + "U\"\x13\xBF", runs(26) + "U\"\x13" + runs(1)});
    std::mt19937 rng(22);
    for (int n = 0; n < 64; n++) {
        std::string name(30, ' ');
        for (char &c : name)
            c = static_cast<char>(0x80 | rng());
        texts.push_back({name, ""});
    }
    return texts;
}
