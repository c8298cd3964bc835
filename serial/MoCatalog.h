// A GNU message catalogue (.mo) read whole, for systems without libintl: singular messages only,
// looked up by binary search in the sorted original table.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace serial {

class TMoCatalog {
public:
    // Reads the file; an unreadable or malformed file gives an empty catalogue.
    bool Load(const std::string& path);
    // The same for the file's bytes.
    bool LoadBytes(std::string bytes);
    // The translation, or the message itself when the catalogue has none.
    std::string Translate(const std::string& message) const;
    size_t Size() const { return originals_.size(); }

    static constexpr size_t kMaxFileSize = 16u << 20;  // larger is no catalogue of ours

private:
    std::string bytes_;
    std::vector<std::string_view> originals_, translations_;
};

// The language part of a locale name: "pl_PL.UTF-8" and "pl-PL" give "pl"; "C" and "POSIX" give "".
// Of a list ("pl:en", as LANGUAGE has it) the first.
std::string LanguageOfLocaleName(const std::string& name);

}  // namespace serial
