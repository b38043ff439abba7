#include "FitTarget.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string nameOf(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

} // namespace

std::string resolveFitTarget(const std::string& sourcePath, const std::string& outputPath,
                             std::string& destination) {
    struct stat sourceInfo {};
    if (::stat(sourcePath.c_str(), &sourceInfo) != 0) {
        return "ファイルが見つかりません: " + sourcePath;
    }
    if (!S_ISREG(sourceInfo.st_mode)) {
        return "ファイルではありません: " + sourcePath;
    }
    destination = outputPath;
    struct stat outputInfo {};
    if (::stat(destination.c_str(), &outputInfo) == 0 && S_ISDIR(outputInfo.st_mode)) {
        destination += "/" + nameOf(sourcePath);
    }
    // stat follows symbolic links, so the same device and inode also catches links to the source.
    if (::stat(destination.c_str(), &outputInfo) == 0 && outputInfo.st_dev == sourceInfo.st_dev &&
        outputInfo.st_ino == sourceInfo.st_ino) {
        return "出力先が元ファイルと同じため処理しません: " + destination;
    }
    if (::lstat(destination.c_str(), &outputInfo) == 0 && S_ISDIR(outputInfo.st_mode)) {
        return "出力先がフォルダです: " + destination;
    }
    return {};
}

OpenFile::OpenFile(const std::string& path)
    : path_(path), fd_(::open(path.c_str(), O_RDONLY | O_CLOEXEC)) {}

OpenFile::~OpenFile() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

std::string OpenFile::nameForLibrary() const {
    const std::string byDescriptor = "/proc/self/fd/" + std::to_string(fd_);
    return ::access(byDescriptor.c_str(), R_OK) == 0 ? byDescriptor : path_;
}
