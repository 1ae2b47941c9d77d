#pragma once
// One conversion output: a temporary file renamed into place only when complete, written
// through a large buffer. A failed or stopped writer leaves no file behind.
#include <memory>
#include <string>

#include "convert/convert_text.h"
#include "core/atomic_file.h"

namespace pelmora {

class ConvertOutputFile {
  public:
    // False (errno kept) when the temporary file cannot be created.
    bool Open(const std::string& path, bool crlf);
    TextSink& sink() { return *sink_; }
    // Flushes and renames into place; false when any write or the rename failed.
    bool Commit();
    void Discard();

  private:
    AtomicFile file_;
    std::unique_ptr<TextSink> sink_;
};

}  // namespace pelmora
