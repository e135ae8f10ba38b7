// A folder of its own for one test: <temp>/lintora-<name>-<process id>-<test>, made empty when
// the test starts and removed with everything in it when the test ends, so that tests run in
// parallel processes, in any order, never meet each other's files.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#ifdef _WIN32
#include <process.h>
#else
#include <unistd.h>
#endif

namespace lintora {

class ScratchFolder {
  public:
    explicit ScratchFolder(const std::string& name) {
        const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
        std::string leaf = "lintora-" + name + "-" + std::to_string(process_id());
        if (test != nullptr) {
            leaf += std::string("-") + test->test_suite_name() + "." + test->name();
        }
        path_ = std::filesystem::temp_directory_path() / leaf;
        std::filesystem::remove_all(path_);
        std::filesystem::create_directories(path_);
    }
    ~ScratchFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::filesystem::path& path() const { return path_; }

  private:
    static long process_id() {
#ifdef _WIN32
        return static_cast<long>(::_getpid());
#else
        return static_cast<long>(::getpid());
#endif
    }

    std::filesystem::path path_;
};

}  // namespace lintora
