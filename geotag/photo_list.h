#pragma once
// The photos a run names: files as given, folders as their photo files (not their subfolders),
// in name order.
#include <string>
#include <vector>

namespace pelmora {

// Files by extension that exiv2 reads (JPEG, TIFF, PNG, WebP and the RAW formats); sidecars and
// other files of a folder are passed over.
bool LooksLikePhoto(const std::string& path);

// problems gets "PATH: cause" for a name that is neither a file nor a readable folder.
std::vector<std::string> CollectPhotos(const std::vector<std::string>& names,
                                       std::vector<std::string>& problems);

}  // namespace pelmora
