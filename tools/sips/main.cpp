// halvix-sips: reads image sizes and scales photos for the order pipeline (see README.md). The
// pipeline's usual photo is scaled here on libjpeg-turbo alone; everything else is handed to
// halvix-sips-vips, the libvips road, with the same command line.
#include "FitTarget.h"
#include "JpegFit.h"
#include "ScratchFile.h"
#include "SipsCommand.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

void printError(const std::string& message) {
    std::fprintf(stderr, "halvix-sips: %s\n", message.c_str());
}

std::string folderOfThisProgram() {
    char buffer[PATH_MAX] = {};
    const ssize_t length = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (length <= 0) {
        return {};
    }
    std::string path(buffer, size_t(length));
    return path.substr(0, path.rfind('/'));
}

// Beside this program, in a build and in an installed copy (libexec/halvix2) alike.
std::string vipsRoadProgram() {
    const std::string candidate = folderOfThisProgram() + "/halvix-sips-vips";
    return ::access(candidate.c_str(), X_OK) == 0 ? candidate : std::string();
}

// Replaces this process with the libvips road; returns only when that failed.
int handOver(char** argv) {
    const std::string program = vipsRoadProgram();
    if (program.empty()) {
        printError("画像ライブラリのプログラム（halvix-sips-vips）が見つかりません");
        return kExitFailure;
    }
    std::vector<char*> args{const_cast<char*>(program.c_str())};
    for (char** arg = argv + 1; *arg != nullptr; ++arg) {
        args.push_back(*arg);
    }
    args.push_back(nullptr);
    ::execv(program.c_str(), args.data());
    printError("画像ライブラリのプログラムを起動できません: " + program + " (" +
               std::strerror(errno) + ")");
    return kExitFailure;
}

} // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    const SipsParseResult parsed = parseSipsCommandLine(args);
    if (!parsed.command) {
        printError(parsed.error);
        std::fputs(sipsUsageText().c_str(), stderr);
        return kExitUsage;
    }
    const SipsCommand& command = *parsed.command;
    if (command.action != SipsCommand::Action::FitToJpeg) {
        return handOver(argv);
    }
    std::string destination;
    if (const std::string refusal =
            resolveFitTarget(command.sourcePath, command.outputPath, destination);
        !refusal.empty()) {
        printError(refusal);
        return kExitFailure;
    }
    installScratchFileSignalCleanup();
    std::string error;
    switch (
        fitPlainJpeg(command.sourcePath, destination, command.fitSize, command.quality, error)) {
    case JpegFitOutcome::Done:
        return 0;
    case JpegFitOutcome::Failed:
        printError(error);
        return kExitFailure;
    case JpegFitOutcome::NotMine:
        break;
    }
    return handOver(argv);
}
