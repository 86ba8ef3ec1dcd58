// Files that appear whole or not at all.
#pragma once

#include <cstdio>
#include <string>

namespace roses {

// A file written under a temporary name in its own folder and renamed over its path only
// when it is complete, so that a run that fails (a full disk, a failed sibling output)
// leaves an earlier file at the path exactly as it was and nothing half-written. A path
// that already exists and is not a regular file (/dev/full, /dev/stdout, a pipe) cannot be
// replaced by a rename and is written directly. Failures are the system's own words.
class output_file {
  public:
    output_file() = default;
    output_file(const output_file&) = delete;
    output_file& operator=(const output_file&) = delete;
    // A file never finished is removed.
    ~output_file() { discard(); }

    // Returns an empty string, or why the path cannot be written.
    [[nodiscard]] std::string open(const std::string& path);
    bool is_open() const { return stream_ != nullptr; }
    std::FILE* stream() const { return stream_; }

    // Writes bytes; returns an empty string or why they could not be written.
    [[nodiscard]] std::string write(const void* bytes, std::size_t size);

    // Flushes and closes; returns an empty string or why the file is not whole. On failure
    // the temporary file is removed and the path keeps what it held. Closing every output
    // before finishing any lets a run replace all its files or none.
    [[nodiscard]] std::string close();

    // Closes if still open, then puts the file in place; returns an empty string or why not.
    [[nodiscard]] std::string finish();

    // Closes and removes the temporary file; the path keeps what it held.
    void discard();

  private:
    std::string target;
    std::string temporary; // empty when the target is written directly
    std::FILE* stream_ = nullptr;
};

// The text of errno, as the system words it.
std::string system_reason(int error);

} // namespace roses
