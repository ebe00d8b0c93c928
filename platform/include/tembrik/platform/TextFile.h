#pragma once
// The program's settings, station and list files: Windows-1251 text, lines ended by CR LF, read whole
// and taken by line position, written whole. Errors raise FileError with the texts users know.
#include <filesystem>
#include <string>
#include <vector>

namespace tembrik::platform {

class TextLines {
public:
    TextLines() = default;
    explicit TextLines(std::vector<std::string> lines, bool lastLineEnded = true)
        : lines_(std::move(lines)), lastLineEnded_(lastLineEnded) {}

    // Reads and decodes the whole file. Lines may end in CR LF, LF or a lone CR.
    static TextLines read(const std::filesystem::path& file);

    // Line `index` (0-based) as UTF-8; a line past the end of the file is empty.
    const std::string& line(std::size_t index) const;
    std::size_t size() const { return lines_.size(); }
    const std::vector<std::string>& all() const { return lines_; }
    // False when the file's last line had no line end, so an append must start a new line first.
    bool lastLineEnded() const { return lastLineEnded_; }

private:
    std::vector<std::string> lines_;
    bool lastLineEnded_ = true;
};

// Creates or truncates the file and writes every line encoded as Windows-1251 followed by CR LF.
void writeTextFile(const std::filesystem::path& file, const std::vector<std::string>& lines);

// Writes the lines to a companion file beside `file`, then renames it over `file`, so a failure part
// way leaves the old file whole.
void replaceTextFile(const std::filesystem::path& file, const std::vector<std::string>& lines);

// The bytes of a text file holding the lines: Windows-1251, each line ended by CR LF.
std::string encodeTextLines(const std::vector<std::string>& lines);

// New contents for `file`, written whole and flushed to disk in a companion file beside it
// ("<file>.new"). They replace `file` only on commit(), by a rename, so a reader sees the old file or
// the new one and never a part. Dropped without commit(), the companion is removed and `file` is
// untouched. Errors raise FileError.
class StagedFile {
public:
    StagedFile(std::filesystem::path file, const std::string& bytes);
    ~StagedFile();
    StagedFile(const StagedFile&) = delete;
    StagedFile& operator=(const StagedFile&) = delete;

    void commit();

private:
    std::filesystem::path file_;
    std::filesystem::path temp_;
    bool pending_ = true;
};

// Appends lines (CR LF ended) to the file, creating it when missing; when the file's last line has no
// line end, a CR LF is written first so the new line starts on a line of its own.
void appendTextLines(const std::filesystem::path& file, const std::vector<std::string>& lines);

} // namespace tembrik::platform
