#pragma once
#include <string>
#include <vector>

namespace pelmora::test {

inline std::vector<unsigned char> Bytes(std::initializer_list<int> values) {
    std::vector<unsigned char> out;
    for (int v : values) {
        out.push_back(static_cast<unsigned char>(v));
    }
    return out;
}

inline std::vector<unsigned char> Text(const std::string& s) {
    return std::vector<unsigned char>(s.begin(), s.end());
}

inline std::vector<unsigned char> Cat(std::vector<unsigned char> a,
                                      const std::vector<unsigned char>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

}  // namespace pelmora::test
