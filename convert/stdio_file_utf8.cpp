#include "convert/stdio_file_utf8.h"

namespace pelmora {

CStdioFile_UTF8::~CStdioFile_UTF8() {
    if (in_ != nullptr) {
        std::fclose(in_);
    }
}

bool CStdioFile_UTF8::OpenForWrite(const std::string& path) {
    if (!output_.Open(path, true)) {
        return false;
    }
    output_.sink().PutRaw("\xEF\xBB\xBF");
    return true;
}

bool CStdioFile_UTF8::OpenForRead(const std::string& path) {
    if (in_ != nullptr) {
        std::fclose(in_);
    }
    in_ = std::fopen(path.c_str(), "rb");
    if (in_ == nullptr) {
        return false;
    }
    unsigned char bom[3] = {};
    if (std::fread(bom, 1, 3, in_) != 3 || bom[0] != 0xEF || bom[1] != 0xBB || bom[2] != 0xBF) {
        std::rewind(in_);
    }
    return true;
}

bool CStdioFile_UTF8::ReadString(std::string& line) {
    line.clear();
    if (in_ == nullptr) {
        return false;
    }
    int c = 0;
    bool any = false;
    while ((c = std::fgetc(in_)) != EOF) {
        any = true;
        if (c == '\n') {
            break;
        }
        line += static_cast<char>(c);
    }
    if (!line.empty() && line.back() == '\r') {
        line.pop_back();
    }
    return any;
}

}  // namespace pelmora
