#include "geotag/photo_list.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

namespace pelmora {

bool LooksLikePhoto(const std::string& path) {
    static const char* const kExtensions[] = {
        "jpg", "jpeg", "jpe", "tif", "tiff", "png", "webp", "dng", "cr2", "crw", "nef", "nrw",
        "arw", "sr2",  "orf", "rw2", "pef",  "raf", "srw",  "mrw", "3fr", "exv", "jp2"};
    std::string extension = std::filesystem::path(path).extension().string();
    if (extension.size() < 2) {
        return false;
    }
    extension.erase(0, 1);
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return std::find_if(std::begin(kExtensions), std::end(kExtensions),
                        [&](const char* e) { return extension == e; }) != std::end(kExtensions);
}

std::vector<std::string> CollectPhotos(const std::vector<std::string>& names,
                                       std::vector<std::string>& problems) {
    std::vector<std::string> photos;
    for (const std::string& name : names) {
        std::error_code ec;
        if (!std::filesystem::is_directory(name, ec)) {
            if (!std::filesystem::exists(name, ec)) {
                problems.push_back(name + ": no such file or folder");
                continue;
            }
            photos.push_back(name);
            continue;
        }
        std::vector<std::string> inFolder;
        for (std::filesystem::directory_iterator it(name, ec), end; !ec && it != end;
             it.increment(ec)) {
            std::error_code typeError;
            if (it->is_regular_file(typeError) && LooksLikePhoto(it->path().string())) {
                inFolder.push_back(it->path().string());
            }
        }
        if (ec) {
            problems.push_back(name + ": " + ec.message());
        }
        std::sort(inFolder.begin(), inFolder.end());
        photos.insert(photos.end(), inFolder.begin(), inFolder.end());
    }
    return photos;
}

}  // namespace pelmora
