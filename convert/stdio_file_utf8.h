#pragma once
// The text file of the KML writers: UTF-8 with a byte-order mark, and "\n" written as CR LF as
// the reference platform's text-mode files do. Writing goes to a temporary file that is renamed
// into place on Commit.
#include <cstdio>
#include <memory>
#include <string>

#include "convert/convert_output_file.h"

namespace pelmora {

class CStdioFile_UTF8 {
  public:
    CStdioFile_UTF8() = default;
    ~CStdioFile_UTF8();
    CStdioFile_UTF8(const CStdioFile_UTF8&) = delete;
    CStdioFile_UTF8& operator=(const CStdioFile_UTF8&) = delete;

    // Writing: creates the file and puts EF BB BF first. False when it cannot be created.
    bool OpenForWrite(const std::string& path);
    TextSink& sink() { return output_.sink(); }
    bool Commit() { return output_.Commit(); }
    void Discard() { output_.Discard(); }

    // Reading: skips a byte-order mark when there is one.
    bool OpenForRead(const std::string& path);
    // One line of any length without its line end (LF or CR LF); false at the end of the file.
    bool ReadString(std::string& line);

  private:
    ConvertOutputFile output_;
    std::FILE* in_ = nullptr;
};

}  // namespace pelmora
