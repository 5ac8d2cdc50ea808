// A fresh folder under the system's temporary folder for one test, removed
// with everything in it when the test ends.
#pragma once

#include <atomic>
#include <chrono>
#include <filesystem>
#include <string>
#include <system_error>

#include "platform/text.h"

namespace brenvik::testing {

class TempFolder {
public:
    TempFolder()
    {
        static std::atomic<unsigned> counter{0};
        const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
        path_ = std::filesystem::temp_directory_path() /
                ("brenvik-test-" + std::to_string(stamp) + "-" + std::to_string(counter++));
        std::filesystem::create_directories(path_);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    ~TempFolder()
    {
        // Read-only files would refuse to go: make everything writable first.
        std::error_code ignored;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(path_, ignored))
            std::filesystem::permissions(entry.path(), std::filesystem::perms::owner_write,
                                         std::filesystem::perm_options::add, ignored);
        std::filesystem::remove_all(path_, ignored);
    }

    const std::filesystem::path& path() const { return path_; }
    // The folder as an ANSI text; the temporary folder's path is plain ASCII.
    Text text() const { return path_.string(); }
    // A name inside the folder, as an ANSI text.
    Text operator/(const Text& name) const { return text() + "\\" + name; }

private:
    std::filesystem::path path_;
};

}  // namespace brenvik::testing
