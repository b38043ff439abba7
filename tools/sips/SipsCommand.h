#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// What one run of the tool was asked to do, read from its command line.
struct SipsCommand {
    enum class Action { GetProperties, FitToJpeg };
    Action action = Action::GetProperties;
    std::string sourcePath;
    std::string outputPath; // --out; required for FitToJpeg, the source is never rewritten
    int quality = 0;        // JPEG quality 1..100
    int fitSize = 0;        // -Z: the longest side after fitting into fitSize x fitSize
};

struct SipsParseResult {
    std::optional<SipsCommand> command;
    std::string error; // Japanese message when command is none
};

// Reads the sips-style command line (arguments after the program name).
SipsParseResult parseSipsCommandLine(const std::vector<std::string>& args);

// "low", "normal", "high", "best", "default", "85%" or "85" → JPEG quality; none when invalid.
std::optional<int> jpegQualityFromText(std::string_view text);

// The quality used when no formatOptions are given.
constexpr int kDefaultJpegQuality = 92;

// The usage text printed on a command-line error.
std::string sipsUsageText();
