#include "serial/CtsLockout.h"

#include <algorithm>

#include "base/TextFile.h"

namespace serial {

const std::vector<std::string>& CtsLockoutItems() {
    static const std::vector<std::string> items = {"0", "20", "50", "100", "200", "500", "1000", "2000"};
    return items;
}

std::string CtsLockoutOfBytes(const std::string& bytes) {
    std::string line = bytes.substr(0, bytes.find('\n'));
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const auto& items = CtsLockoutItems();
    return std::find(items.begin(), items.end(), line) != items.end() ? line : items.front();
}

std::string CtsLockoutBytes(const std::string& item) { return item + "\r\n"; }

std::string ReadCtsLockout(const std::string& path) {
    try {
        return CtsLockoutOfBytes(base::ReadWholeFile(path));
    } catch (const base::EInOutError&) {
        return CtsLockoutItems().front();
    }
}

void WriteCtsLockout(const std::string& path, const std::string& item) { base::RewriteFile(path, CtsLockoutBytes(item)); }

void TCtsLockout::Restart() {
    lastUs_.reset();
    ignored_ = 0;
}

bool TCtsLockout::Take(int64_t edgeMonoUs) {
    // Edges handed on in their order: one timed before the last capture lies within its lockout too.
    if (ms_ > 0 && lastUs_ && edgeMonoUs - *lastUs_ < int64_t{ms_} * 1000) {
        ++ignored_;
        return false;
    }
    lastUs_ = edgeMonoUs;
    return true;
}

}  // namespace serial
