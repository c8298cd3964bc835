// A fresh temporary folder per test, removed afterwards.
#pragma once

#include <filesystem>
#include <fstream>
#include <sstream>
#include <random>
#include <string>

#ifndef _WIN32
#include <unistd.h>
#endif

namespace testing_support {

class TTempDir {
public:
    TTempDir() {
        std::random_device seed;
        std::mt19937_64 gen(seed());
        for (;;) {
            std::filesystem::path p = std::filesystem::temp_directory_path() / ("tempix-" + std::to_string(gen() % 1000000000));
            if (std::filesystem::create_directory(p)) {
                path_ = p.string() + "/";
                break;
            }
        }
    }
    ~TTempDir() {
        std::error_code ec;
        std::filesystem::permissions(path_, std::filesystem::perms::owner_all, ec);
        std::filesystem::remove_all(path_, ec);
    }
    const std::string& Path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + name; }

private:
    std::string path_;
};

inline std::string Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

inline void Spit(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

// Root ignores permission bits: tests of access-denied paths need another way in.
#ifdef _WIN32
inline bool RunningAsRoot() { return false; }
#else
inline bool RunningAsRoot() { return ::geteuid() == 0; }
#endif

}  // namespace testing_support
