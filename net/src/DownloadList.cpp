#include "tembrik/net/DownloadList.h"

#include <cstdio>
#include <memory>
#include <stdexcept>
#include <system_error>

namespace tembrik::net {

namespace fs = std::filesystem;

namespace {

bool isPlainFileName(const std::string& name) {
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos &&
           name.find('\0') == std::string::npos;
}

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

std::string download(const std::string& url, const fs::path& file, const HttpOptions& options,
                     const CancelFlag* cancel) {
    std::unique_ptr<std::FILE, FileCloser> out(std::fopen(file.c_str(), "wb"));
    if (!out)
        return "cannot create " + file.string();
    const BodySink write = [&out](std::string_view piece) {
        return std::fwrite(piece.data(), 1, piece.size(), out.get()) == piece.size();
    };
    HttpResult result = httpTransfer(url, options, write, cancel);
    const bool closed = std::fclose(out.release()) == 0;
    if (result.ok && !closed)
        result = {false, result.status, {}, "cannot write " + file.string()};
    if (!result.ok) {
        std::error_code ec;
        fs::remove(file, ec);
    }
    return result.error;
}

} // namespace

std::vector<std::string> downloadList(const std::vector<std::string>& urls,
                                      const std::vector<std::string>& names, const fs::path& folder,
                                      const HttpOptions& options, const CancelFlag* cancel) {
    if (urls.size() != names.size())
        throw std::invalid_argument("the address and file name lists differ in length");
    std::vector<std::string> errors(urls.size());
    for (std::size_t i = 0; i < urls.size(); ++i) {
        if (cancel && cancel->load())
            errors[i] = "cancelled";
        else if (!isPlainFileName(names[i]))
            errors[i] = "not a plain file name: " + names[i];
        else
            errors[i] = download(urls[i], folder / names[i], options, cancel);
    }
    return errors;
}

} // namespace tembrik::net
