// A folder of its own for one test, under the system's temporary folder,
// removed with everything in it when the test ends.
#pragma once

#include <filesystem>
#include <random>
#include <string>
#include <system_error>

#include <gtest/gtest.h>

namespace brenvik::simtest {

class TempFolder {
public:
    TempFolder()
    {
        const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
        std::string name = "brenvik-";
        if (test != nullptr)
            name += std::string(test->test_suite_name()) + "." + test->name() + "-";
        std::random_device random;
        name += std::to_string(random()) + std::to_string(random());
        for (char& c : name)
            if (c == '/' || c == '\\')
                c = '_';
        path_ = std::filesystem::temp_directory_path() / name;
        std::filesystem::create_directories(path_);
    }
    ~TempFolder()
    {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

}  // namespace brenvik::simtest
