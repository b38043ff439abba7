// halvix-sips-vips: the libvips road of halvix-sips (see README.md), started by halvix-sips for
// everything but the plain photos it scales itself. It takes the same command line.
#include "ImageFit.h"
#include "ImageProperties.h"
#include "ScratchFile.h"
#include "SipsCommand.h"

#include <cstdio>
#include <string>
#include <vector>
#include <vips/vips.h>

namespace {

constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

void printError(const std::string& message) {
    std::fprintf(stderr, "halvix-sips: %s\n", message.c_str());
}

int run(const SipsCommand& command) {
    if (command.action == SipsCommand::Action::GetProperties) {
        std::string error;
        const auto properties = readImageProperties(command.sourcePath, error);
        if (!properties) {
            printError(error);
            return kExitFailure;
        }
        const std::string xml = plistXmlFromProperties(*properties);
        if (std::fwrite(xml.data(), 1, xml.size(), stdout) != xml.size() ||
            std::fflush(stdout) != 0) {
            printError("結果を出力できません");
            return kExitFailure;
        }
        return 0;
    }
    const std::string error =
        fitImageToJpeg(command.sourcePath, command.outputPath, command.fitSize, command.quality);
    if (!error.empty()) {
        printError(error);
        return kExitFailure;
    }
    return 0;
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
    if (vips_init(argv[0]) != 0) {
        printError("画像ライブラリを初期化できません");
        return kExitFailure;
    }
    installScratchFileSignalCleanup();
    // One image per run: caching operations would only cost memory.
    vips_cache_set_max(0);
    const int status = run(*parsed.command);
    vips_shutdown();
    return status;
}
