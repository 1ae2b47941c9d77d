#include "convert/convert_output_file.h"

#include <cerrno>

namespace pelmora {

bool ConvertOutputFile::Open(const std::string& path, bool crlf) {
    sink_.reset();
    if (!file_.Open(path)) {
        return false;
    }
    // The sink does the buffering; a second stdio buffer would only copy every byte again.
    std::setvbuf(file_.file(), nullptr, _IONBF, 0);
    sink_ = std::make_unique<TextSink>(file_.file(), crlf);
    return true;
}

bool ConvertOutputFile::Commit() {
    if (!sink_) {
        return false;
    }
    const bool written = sink_->Flush();
    sink_.reset();
    if (!written) {
        const int error = errno;  // the failed write's reason, not the cleanup's
        file_.Discard();
        errno = error;
        return false;
    }
    return file_.Commit();
}

void ConvertOutputFile::Discard() {
    sink_.reset();
    file_.Discard();
}

}  // namespace pelmora
