#include "ImageFit.h"

#include "ImageScale.h"
#include "ScratchFile.h"
#include "VipsHandle.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string withVipsError(const std::string& message) {
    const std::string detail = takeVipsError();
    return detail.empty() ? message : message + " (" + detail + ")";
}

std::string nameOf(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

double whiteOf(VipsBandFormat format) {
    switch (format) {
    case VIPS_FORMAT_USHORT:
        return 65535.0;
    case VIPS_FORMAT_FLOAT:
    case VIPS_FORMAT_DOUBLE:
        return 1.0;
    default:
        return 255.0;
    }
}

// A file opened for reading, closed on scope exit.
class OpenFile {
public:
    explicit OpenFile(const std::string& path)
        : path_(path), fd_(::open(path.c_str(), O_RDONLY | O_CLOEXEC)) {}
    ~OpenFile() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    OpenFile(const OpenFile&) = delete;
    OpenFile& operator=(const OpenFile&) = delete;

    bool isOpen() const { return fd_ >= 0; }
    // The descriptor's name under /proc (plain, whatever the real name holds), else the path.
    std::string nameForLibrary() const {
        const std::string byDescriptor = "/proc/self/fd/" + std::to_string(fd_);
        return ::access(byDescriptor.c_str(), R_OK) == 0 ? byDescriptor : path_;
    }

private:
    std::string path_;
    int fd_ = -1;
};

} // namespace

std::string fitImageToJpeg(const std::string& sourcePath, const std::string& outputPath,
                           int fitSize, int quality) {
    struct stat sourceInfo {};
    if (::stat(sourcePath.c_str(), &sourceInfo) != 0) {
        return "ファイルが見つかりません: " + sourcePath;
    }
    if (!S_ISREG(sourceInfo.st_mode)) {
        return "ファイルではありません: " + sourcePath;
    }
    std::string destination = outputPath;
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

    // libvips reads "[...]" at the end of a file name as load options, so the photo is opened here
    // and handed over by descriptor; that also pins the file checked above. A VipsSource would do
    // the same, but vips_thumbnail_source ignores fail_on and would accept truncated photos.
    const OpenFile input(sourcePath);
    if (!input.isOpen()) {
        return "ファイルを開けません: " + sourcePath;
    }
    VipsHandle<VipsImage> image = loadFitted(input.nameForLibrary(), fitSize);
    if (!image) {
        return withVipsError("画像ファイルとして読み込めません: " + sourcePath);
    }

    if (vips_image_hasalpha(image.get()) != 0) {
        // JPEG has no transparency; prints show white where nothing was drawn.
        const double white = whiteOf(vips_image_get_format(image.get()));
        const VipsDoubles background(vips_array_double_newv(1, white));
        VipsImage* flat = nullptr;
        if (vips_flatten(image.get(), &flat, "background", background.get(), nullptr) != 0) {
            return withVipsError("画像の透明部分を処理できません: " + sourcePath);
        }
        image.reset(flat);
    }

    ScratchFile scratch(destination);
    if (!scratch.isOpen()) {
        return "出力ファイルを作成できません: " + destination + " (" + scratch.error() + ")";
    }
    // Decoding happens while saving (sequential access): a damaged or truncated photo fails here.
    if (vips_jpegsave(image.get(), scratch.path().c_str(), "Q", quality, nullptr) != 0) {
        return withVipsError("画像の変換に失敗しました: " + sourcePath);
    }
    image.reset();
    if (!scratch.commit()) {
        return "出力ファイルを保存できません: " + destination + " (" + scratch.error() + ")";
    }
    return {};
}
