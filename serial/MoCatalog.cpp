#include "serial/MoCatalog.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "base/TextFile.h"

namespace serial {

namespace {

constexpr uint32_t kMagic = 0x950412de, kSwappedMagic = 0xde120495;

uint32_t Swap(uint32_t v) { return (v >> 24) | ((v >> 8) & 0xff00) | ((v << 8) & 0xff0000) | (v << 24); }

}  // namespace

bool TMoCatalog::Load(const std::string& path) {
    std::string bytes;
    try {
        bytes = base::ReadWholeFile(path);
    } catch (const base::EInOutError&) {
        bytes.clear();
    }
    return LoadBytes(std::move(bytes));
}

bool TMoCatalog::LoadBytes(std::string fileBytes) {
    originals_.clear();
    translations_.clear();
    bytes_ = std::move(fileBytes);
    const std::string& bytes = bytes_;
    if (bytes.size() > kMaxFileSize) return false;
    auto word = [&](size_t at, bool swapped, uint32_t& out) {
        if (at > bytes.size() || bytes.size() - at < 4) return false;
        std::memcpy(&out, bytes.data() + at, 4);
        if (swapped) out = Swap(out);
        return true;
    };
    uint32_t magic = 0, count = 0, origTable = 0, transTable = 0;
    if (!word(0, false, magic) || (magic != kMagic && magic != kSwappedMagic)) return false;
    bool swapped = magic == kSwappedMagic;
    if (!word(8, swapped, count) || !word(12, swapped, origTable) || !word(16, swapped, transTable)) return false;
    // The texts stay views into the file's bytes: entries that all point at one long string cost
    // no more than the file itself.
    std::vector<std::string_view> orig, trans;
    auto text = [&](uint32_t table, uint32_t i, std::string_view& out) {
        uint32_t len = 0, off = 0;
        if (!word(size_t{table} + size_t{i} * 8, swapped, len) || !word(size_t{table} + size_t{i} * 8 + 4, swapped, off))
            return false;
        if (off > bytes.size() || bytes.size() - off < len) return false;
        out = std::string_view(bytes).substr(off, len);
        return true;
    };
    if (count > bytes.size() / 8) return false;  // the tables would run past the end
    for (uint32_t i = 0; i < count; ++i) {
        std::string_view o, t;
        if (!text(origTable, i, o) || !text(transTable, i, t)) return false;
        orig.push_back(std::move(o));
        trans.push_back(std::move(t));
    }
    if (!std::is_sorted(orig.begin(), orig.end())) return false;
    originals_ = std::move(orig);
    translations_ = std::move(trans);
    return true;
}

std::string TMoCatalog::Translate(const std::string& message) const {
    auto it = std::lower_bound(originals_.begin(), originals_.end(), std::string_view(message));
    if (it == originals_.end() || *it != message || message.empty()) return message;
    std::string_view t = translations_[static_cast<size_t>(it - originals_.begin())];
    return t.empty() ? message : std::string(t);
}

std::string LanguageOfLocaleName(const std::string& list) {
    // LANGUAGE may list several, most wanted first: "pl:en".
    const std::string name = list.substr(0, list.find(':'));
    if (name.empty() || name == "C" || name == "POSIX" || name.rfind("C.", 0) == 0) return "";
    size_t end = name.find_first_of("_-.@");
    return name.substr(0, end);
}

}  // namespace serial
