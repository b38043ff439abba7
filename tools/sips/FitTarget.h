#pragma once

#include <string>

// Where a fitted photo goes: outputPath, or a file of the source's name inside it when it is a
// folder. Refuses a missing or irregular source and an output that is the source itself (same
// path, symbolic or hard link) or a folder. "" on success (destination set), else a Japanese
// message.
std::string resolveFitTarget(const std::string& sourcePath, const std::string& outputPath,
                             std::string& destination);

// A file opened for reading, closed on scope exit.
class OpenFile {
public:
    explicit OpenFile(const std::string& path);
    ~OpenFile();
    OpenFile(const OpenFile&) = delete;
    OpenFile& operator=(const OpenFile&) = delete;

    bool isOpen() const { return fd_ >= 0; }
    int descriptor() const { return fd_; }
    // The descriptor's name under /proc (plain, whatever the real name holds), else the path.
    std::string nameForLibrary() const;

private:
    std::string path_;
    int fd_ = -1;
};
