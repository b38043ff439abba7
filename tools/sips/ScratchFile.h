#pragma once

#include <string>

// A hidden temporary file beside a destination, renamed over it on commit and removed otherwise,
// so a failed or interrupted run never leaves a half-written file under the destination's name.
class ScratchFile {
public:
    explicit ScratchFile(const std::string& destinationPath);
    ~ScratchFile();
    ScratchFile(const ScratchFile&) = delete;
    ScratchFile& operator=(const ScratchFile&) = delete;

    bool isOpen() const { return !path_.empty(); }
    const std::string& path() const { return path_; }
    const std::string& error() const { return error_; }

    // Gives the file the permissions a new file would get and renames it to the destination.
    bool commit();

private:
    std::string destinationPath_;
    std::string path_;
    std::string error_;
};

// Removes the open scratch file when SIGINT, SIGTERM or SIGHUP ends the run.
void installScratchFileSignalCleanup();
